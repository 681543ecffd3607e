# The manual pages as groff reads them, and ampwell(1) against the program's own --help: every
# option the help lists has its entry in the page. Needs groff (man-db's formatter).
# Usage: cmake -DPROGRAM=... -DPAGES="a.1;b.8" -DGROFF=... -P expect_manual_pages.cmake
foreach(variable PROGRAM PAGES GROFF)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "expect_manual_pages.cmake needs -D${variable}=...")
  endif()
endforeach()

set(failures "")
foreach(page IN LISTS PAGES)
  # -ww: every warning; -z: no output, so only the complaints are left.
  execute_process(COMMAND "${GROFF}" -man -ww -z -Tutf8 "${page}" RESULT_VARIABLE status
                  OUTPUT_VARIABLE output ERROR_VARIABLE errors)
  if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
    string(APPEND failures "${page}: groff complains (status ${status}):\n${errors}\n")
  endif()
endforeach()

execute_process(COMMAND "${PROGRAM}" --help RESULT_VARIABLE status OUTPUT_VARIABLE help ERROR_VARIABLE errors)
if(NOT status EQUAL 0 OR NOT errors STREQUAL "")
  string(APPEND failures "ampwell --help: status ${status}, standard error \"${errors}\"\n")
endif()
list(GET PAGES 0 ampwell_page)
file(READ "${ampwell_page}" roff)
string(REGEX MATCHALL "\n  --[a-z-]+" options "${help}")
if(NOT options)
  string(APPEND failures "ampwell --help lists no option\n")
endif()
foreach(option IN LISTS options)
  string(STRIP "${option}" option)
  string(REPLACE "-" "\\-" escaped "${option}")
  string(FIND "${roff}" ".TP\n\\fB${escaped}\\fR" at)
  if(at EQUAL -1)
    string(APPEND failures "${ampwell_page} has no entry for ${option}\n")
  endif()
endforeach()

if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${failures}")
endif()
