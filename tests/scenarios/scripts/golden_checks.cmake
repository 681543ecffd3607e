# What every golden script checks of a run, collected in the caller's `failures`; end the script
# with golden_report(<what ran>).

# The exit status and an empty standard error.
function(golden_check_run status expected_status errors)
  if(NOT "${status}" STREQUAL "${expected_status}")
    string(APPEND failures "exit status ${status}, expected ${expected_status}\n")
  endif()
  if(NOT "${errors}" STREQUAL "")
    string(APPEND failures "unexpected standard error:\n${errors}\n")
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

# The text in the variable named `_actual` byte for byte against the variable named `_expected`,
# read from `_file`; `_what` names the text in the message. (The underscores keep the names
# apart from the caller's variables, which the function reads by name.)
function(golden_check_text _what _actual _expected _file)
  if(NOT "${${_actual}}" STREQUAL "${${_expected}}")
    string(APPEND failures "${_what} differs from ${_file}\n--- expected\n${${_expected}}--- actual\n${${_actual}}---\n")
  endif()
  set(failures "${failures}" PARENT_SCOPE)
endfunction()

function(golden_report what)
  if(NOT "${failures}" STREQUAL "")
    message(FATAL_ERROR "${what}:\n${failures}")
  endif()
endfunction()
