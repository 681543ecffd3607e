# Runs PROGRAM --snapshot on the simulation file SIMULATION with a time limit of 15 s: it must end
# in time with status 1, nothing on standard output, and exactly one line on standard error that
# names the file, then the JSON path of the fault, then contains EXPECTED.
# Usage: cmake -DPROGRAM=... -DSIMULATION=... -DEXPECTED=... -P expect_refusal.cmake
# MAKE_FIFO=ON first makes SIMULATION a named pipe that nobody writes to.
if(MAKE_FIFO AND NOT EXISTS "${SIMULATION}")
  execute_process(COMMAND mkfifo "${SIMULATION}" RESULT_VARIABLE made)
  if(NOT made EQUAL 0)
    message(FATAL_ERROR "cannot make the named pipe ${SIMULATION}")
  endif()
endif()
set(ENV{AMPWELL_SIMULATION} "${SIMULATION}")
execute_process(COMMAND "${PROGRAM}" --snapshot TIMEOUT 15
                RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT status EQUAL 1)
  message(FATAL_ERROR "status ${status}, expected 1; standard error:\n${err}")
endif()
string(FIND "${err}" "ampwell: ${SIMULATION}: $" start)
string(FIND "${err}" "\n" firstBreak)
string(LENGTH "${err}" length)
math(EXPR last "${length} - 1")
if(NOT start EQUAL 0 OR NOT firstBreak EQUAL last)
  message(FATAL_ERROR "expected one line naming ${SIMULATION} and a JSON path, found:\n${err}")
endif()
string(FIND "${err}" "${EXPECTED}" found)
if(found LESS 0)
  message(FATAL_ERROR "standard error does not contain \"${EXPECTED}\":\n${err}")
endif()
if(NOT out STREQUAL "")
  message(FATAL_ERROR "unexpected standard output:\n${out}")
endif()
