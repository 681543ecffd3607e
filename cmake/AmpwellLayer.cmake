# Layers: one static library per directory, each seeing only the headers of what it links.
#
# Every source file includes from the checkout's root ("app/model/Snapshot.hpp"), but the root
# itself is on no include path. Instead each layer copies nothing and links each of its listed
# headers into a directory of its own below the build tree, keeping the root-relative path:
#
#   build/<preset>/layers/ampwell_model/app/model/Snapshot.hpp -> <checkout>/app/model/Snapshot.hpp
#
# and hands that directory on as a PUBLIC include path. Include paths then travel exactly along the
# links: a layer finds the headers of the layers it links (directly or through them) and no other,
# so a header of a layer it does not link is "No such file or directory" at compile time.
# A header that is not listed in its layer's CMakeLists.txt cannot be included from another file.

set(AMPWELL_LAYER_ROOT ${CMAKE_BINARY_DIR}/layers)

# Links `source` (absolute) to the same path relative to the checkout below `stage`.
function(_ampwell_stage stage source)
  file(RELATIVE_PATH relative ${CMAKE_SOURCE_DIR} ${source})
  set(link ${stage}/${relative})
  if(IS_SYMLINK ${link})
    file(READ_SYMLINK ${link} current)
    if(current STREQUAL source)
      return()
    endif()
    file(REMOVE ${link})
  endif()
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${source} ${link} SYMBOLIC)
endfunction()

# ampwell_layer(<target> <file>...): a static library of the listed .cpp files whose listed .hpp
# files are what other targets may include, once they link <target>.
function(ampwell_layer target)
  set(sources)
  set(stage ${AMPWELL_LAYER_ROOT}/${target})
  file(REMOVE_RECURSE ${stage})
  foreach(file ${ARGN})
    get_filename_component(absolute ${file} ABSOLUTE)
    if(NOT EXISTS ${absolute})
      message(FATAL_ERROR "${target}: ${file} is listed but does not exist")
    endif()
    if(file MATCHES "\\.hpp$")
      _ampwell_stage(${stage} ${absolute})
    endif()
    list(APPEND sources ${absolute})
  endforeach()
  set_property(GLOBAL APPEND PROPERTY AMPWELL_LAYERS ${target})
  set(compiled ${sources})
  list(FILTER compiled INCLUDE REGEX "\\.cpp$")
  if(NOT compiled)
    # A layer of headers alone (seams with no code of their own): it compiles nothing, so it
    # hands its include path and its links on to whoever links it.
    add_library(${target} INTERFACE)
    target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${stage}>)
    target_link_libraries(${target} INTERFACE ampwell_flags)
    return()
  endif()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${stage}>)
  target_link_libraries(${target} PUBLIC ampwell_flags)
endfunction()

# ampwell_write_layer_table(<file>): writes one line per layer, "<target> <directory>: <layers it
# links>", the layers it links being the ampwell_ targets of its link lists in the order given.
# The test `conventions.layer-table` compares it with the table in docs/conventions.md.
function(ampwell_write_layer_table file)
  get_property(layers GLOBAL PROPERTY AMPWELL_LAYERS)
  set(table "")
  foreach(layer ${layers})
    get_target_property(type ${layer} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
      get_target_property(links ${layer} INTERFACE_LINK_LIBRARIES)
    else()
      get_target_property(links ${layer} LINK_LIBRARIES)
    endif()
    set(ours "")
    foreach(link ${links})
      if(link MATCHES "^ampwell_" AND NOT link STREQUAL "ampwell_flags" AND NOT link IN_LIST ours)
        list(APPEND ours ${link})
      endif()
    endforeach()
    list(SORT ours)
    get_target_property(directory ${layer} SOURCE_DIR)
    file(RELATIVE_PATH directory ${CMAKE_SOURCE_DIR} ${directory})
    list(JOIN ours " " ours)
    string(APPEND table "${layer} ${directory}: ${ours}\n")
  endforeach()
  file(WRITE ${file} "${table}")
endfunction()

# ampwell_expose_tree(<target> <directory>): lets <target> (a test, benchmark or fuzz program,
# never a layer) include every header below <directory> by its root-relative path.
function(ampwell_expose_tree target directory)
  set(stage ${AMPWELL_LAYER_ROOT}/${target})
  get_filename_component(absolute ${directory} ABSOLUTE)
  _ampwell_stage(${stage} ${absolute})
  target_include_directories(${target} PRIVATE ${stage})
endfunction()
