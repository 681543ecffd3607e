# Golden tests of "--list-reset-targets": the real program runs on each simulated Mac and must
# print exactly the lines of the matching .expected file, nothing on standard error, status 0.
file(GLOB AMPWELL_RESET_TARGET_SCENARIOS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/reset_targets/*.json)
foreach(simulation ${AMPWELL_RESET_TARGET_SCENARIOS})
  get_filename_component(name ${simulation} NAME_WE)
  add_test(NAME scenario.reset_targets.${name}
    COMMAND ${CMAKE_COMMAND}
      -DPROGRAM=$<TARGET_FILE:ampwell>
      -DOPTION=--list-reset-targets
      -DSIMULATION=${simulation}
      -DEXPECTED=${CMAKE_CURRENT_LIST_DIR}/reset_targets/${name}.expected
      -DSTATUS=0
      -P ${CMAKE_CURRENT_LIST_DIR}/scripts/expect_mode.cmake)
endforeach()
