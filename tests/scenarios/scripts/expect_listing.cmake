# Runs PROGRAM --list-reset-targets on the simulation file SIMULATION and compares
# its standard output byte for byte with the file EXPECTED; status 0 and an empty standard error.
# Usage: cmake -DPROGRAM=... -DSIMULATION=... -DEXPECTED=... -P expect_listing.cmake
foreach(variable PROGRAM SIMULATION EXPECTED)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "expect_listing.cmake needs -D${variable}=...")
  endif()
endforeach()

set(ENV{AMPWELL_SIMULATION} "${SIMULATION}")
execute_process(COMMAND "${PROGRAM}" --list-reset-targets
                RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
file(READ "${EXPECTED}" expected)

set(failures "")
if(NOT status STREQUAL "0")
  string(APPEND failures "exit status ${status}, expected 0\n")
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
