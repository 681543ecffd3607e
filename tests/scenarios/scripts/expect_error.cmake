# Runs PROGRAM (no arguments) on the simulation file SIMULATION and checks that it fails with
# status 1 and prints exactly the line EXPECTED on standard error, and nothing on standard output.
# Usage: cmake -DPROGRAM=... -DSIMULATION=... -DEXPECTED=... -P expect_error.cmake
set(ENV{AMPWELL_SIMULATION} "${SIMULATION}")
execute_process(COMMAND "${PROGRAM}" RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "exit status ${status}, expected 1; standard error:\n${err}")
endif()
if(NOT err STREQUAL "${EXPECTED}\n")
  message(FATAL_ERROR "standard error was:\n${err}\nexpected:\n${EXPECTED}\n")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "unexpected standard output:\n${out}")
endif()
