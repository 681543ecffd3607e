# Golden tests of "--request-system-power" on simulated Macs: the printed line and the exit
# status. Each case is <name>.json with <name>.expected; the expected exit status is the number
# after the last "-" of the name.
file(GLOB AMPWELL_REFRESH_SCENARIOS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/request_system_power/*.json)
foreach(simulation ${AMPWELL_REFRESH_SCENARIOS})
  get_filename_component(name ${simulation} NAME_WE)
  string(REGEX MATCH "[0-9]+$" status "${name}")
  add_test(NAME scenario.request_system_power.${name}
    COMMAND ${CMAKE_COMMAND}
      -DPROGRAM=$<TARGET_FILE:ampwell> -DOPTION=--request-system-power
      -DSIMULATION=${simulation}
      -DEXPECTED=${CMAKE_CURRENT_LIST_DIR}/request_system_power/${name}.expected
      -DSTATUS=${status}
      -P ${CMAKE_CURRENT_LIST_DIR}/scripts/expect_mode.cmake)
endforeach()
