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

set(failures "")
if(NOT status STREQUAL "${STATUS}")
  string(APPEND failures "exit status ${status}, expected ${STATUS}\n")
endif()
if(NOT errors STREQUAL "")
  string(APPEND failures "unexpected standard error:\n${errors}\n")
endif()
if(NOT output STREQUAL expected)
  string(APPEND failures "standard output differs from ${EXPECTED}\n--- expected\n${expected}--- actual\n${output}---\n")
endif()
if(NOT failures STREQUAL "")
  message(FATAL_ERROR "${SIMULATION}:\n${failures}")
endif()
