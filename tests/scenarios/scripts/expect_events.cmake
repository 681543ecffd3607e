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
# Where the script wrote an action names the simulation file by the path it was given; only its
# file name is compared, so the golden files hold for every checkout.
foreach(text events expected output expected_text)
  string(REGEX REPLACE "/[^\"\n ]*/([^/\"\n ]+\\.json): " "\\1: " ${text} "${${text}}")
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/golden_checks.cmake)
set(failures "")
golden_check_run("${status}" 0 "${errors}")
golden_check_text("the event log" events expected "${EXPECTED}")
golden_check_text("standard output" output expected_text "${EXPECTED_TEXT}")
golden_report("${SIMULATION}")
