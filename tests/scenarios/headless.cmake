# Golden runs of the menu-bar application on the headless desktop: each simulation file in
# headless/ scripts a user and a clock.until; the event log must match its .expected.jsonl and the
# readable lines its .expected.txt.
file(GLOB AMPWELL_HEADLESS_SCENARIOS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/headless/*.json)
# The silent-ports example is what a user reads to see a device's own account at work: its story
# is fixed here too, so that the example never drifts from what the program shows.
list(APPEND AMPWELL_HEADLESS_SCENARIOS ${CMAKE_SOURCE_DIR}/examples/silent-ports.json)
foreach(simulation ${AMPWELL_HEADLESS_SCENARIOS})
  get_filename_component(name ${simulation} NAME_WE)
  add_test(NAME scenario.headless.${name}
    COMMAND ${CMAKE_COMMAND}
      -DPROGRAM=$<TARGET_FILE:ampwell>
      -DSIMULATION=${simulation}
      -DEXPECTED=${CMAKE_CURRENT_LIST_DIR}/headless/${name}.expected.jsonl
      -DEXPECTED_TEXT=${CMAKE_CURRENT_LIST_DIR}/headless/${name}.expected.txt
      -DLOG=${CMAKE_CURRENT_BINARY_DIR}/headless-${name}/events.jsonl
      -P ${CMAKE_CURRENT_LIST_DIR}/scripts/expect_events.cmake)
endforeach()
