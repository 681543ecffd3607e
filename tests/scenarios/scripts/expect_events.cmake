# Runs the menu-bar application of PROGRAM on the simulation file SIMULATION with the headless
# desktop and compares the JSON lines it appends to its event log with the file EXPECTED, and its
# standard output with EXPECTED_TEXT; status 0 and an empty standard error.
# Usage: cmake -DPROGRAM=... -DSIMULATION=... -DEXPECTED=... -DEXPECTED_TEXT=... -DLOG=... -P expect_events.cmake
foreach(variable PROGRAM SIMULATION EXPECTED EXPECTED_TEXT LOG)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "expect_events.cmake needs -D${variable}=...")
  endif()
endforeach()

# The run happens in the log's directory, so that a scenario's "lockDirectory": "." keeps its
# instance lock apart from every other run.
get_filename_component(log_directory "${LOG}" DIRECTORY)
file(REMOVE_RECURSE "${log_directory}")
file(MAKE_DIRECTORY "${log_directory}")
set(ENV{AMPWELL_SIMULATION} "${SIMULATION}")
set(ENV{AMPWELL_UI} "headless")
set(ENV{AMPWELL_UI_LOG} "${LOG}")
execute_process(COMMAND "${PROGRAM}" WORKING_DIRECTORY "${log_directory}" RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
file(READ "${LOG}" events)
file(READ "${EXPECTED}" expected)
file(READ "${EXPECTED_TEXT}" expected_text)

set(failures "")
if(NOT status STREQUAL "0")
  string(APPEND failures "exit status ${status}, expected 0\n")
endif()
if(NOT errors STREQUAL "")
  string(APPEND failures "unexpected standard error:\n${errors}\n")
endif()
if(NOT events STREQUAL expected)
  string(APPEND failures "the event log differs from ${EXPECTED}\n--- expected\n${expected}--- actual\n${events}---\n")
endif()
if(NOT output STREQUAL expected_text)
  string(APPEND failures "standard output differs from ${EXPECTED_TEXT}\n--- expected\n${expected_text}--- actual\n${output}---\n")
endif()
if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${SIMULATION}:\n${failures}")
endif()
