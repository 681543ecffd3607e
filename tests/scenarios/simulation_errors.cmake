# A malformed simulation file stops the real program at start-up with one line naming the file,
# the place in it and the mistake, and exit status 1. The launch path (no option) makes the
# platform first, so it is the path checked here.
set(AMPWELL_BAD_SIMULATIONS "${CMAKE_CURRENT_LIST_DIR}/bad")
foreach(case
    "unknown-key|$.registry[1].propertys: unknown key"
    "remove-before-add|$.timeline[0].remove: no entry 4294968200 is present at this time")
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 name)
  list(GET parts 1 message)
  set(file "${AMPWELL_BAD_SIMULATIONS}/${name}.json")
  add_test(NAME simulation_error.${name}
           COMMAND ${CMAKE_COMMAND} "-DPROGRAM=$<TARGET_FILE:ampwell>" "-DSIMULATION=${file}"
                   "-DEXPECTED=ampwell: ${file}: ${message}"
                   -P "${CMAKE_CURRENT_LIST_DIR}/scripts/expect_error.cmake")
endforeach()
