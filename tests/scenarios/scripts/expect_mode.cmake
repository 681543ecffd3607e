# Runs PROGRAM with the one option OPTION on the simulation file SIMULATION and compares its
# standard output byte for byte with the file EXPECTED and its exit status with STATUS; standard
# error must stay empty.
# Usage: cmake -DPROGRAM=... -DOPTION=... -DSIMULATION=... -DEXPECTED=... -DSTATUS=... -P expect_mode.cmake
foreach(variable PROGRAM OPTION SIMULATION EXPECTED STATUS)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "expect_mode.cmake needs -D${variable}=...")
  endif()
endforeach()

set(ENV{AMPWELL_SIMULATION} "${SIMULATION}")
execute_process(COMMAND "${PROGRAM}" "${OPTION}"
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
file(READ "${EXPECTED}" expected)

include(${CMAKE_CURRENT_LIST_DIR}/golden_checks.cmake)
set(failures "")
golden_check_run("${status}" "${STATUS}" "${errors}")
golden_check_text("standard output" output expected "${EXPECTED}")
golden_report("${SIMULATION}")
