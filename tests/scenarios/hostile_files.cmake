# Hostile simulation files: each must be refused within 15 s with one line naming the file and the
# place in it (the sanitizer preset runs them too). Files too large or too odd to keep in the tree
# are made in the build directory.
set(AMPWELL_HOSTILE "${CMAKE_CURRENT_LIST_DIR}/hostile")
set(AMPWELL_HOSTILE_BUILT "${CMAKE_CURRENT_BINARY_DIR}/hostile")
file(MAKE_DIRECTORY "${AMPWELL_HOSTILE_BUILT}")

function(ampwell_hostile_test name file expected)
  add_test(NAME hostile.${name}
           COMMAND ${CMAKE_COMMAND} "-DPROGRAM=$<TARGET_FILE:ampwell>" "-DSIMULATION=${file}"
                   "-DEXPECTED=${expected}" ${ARGN}
                   -P "${CMAKE_CURRENT_LIST_DIR}/scripts/expect_refusal.cmake")
  set_tests_properties(hostile.${name} PROPERTIES TIMEOUT 30)
endfunction()

ampwell_hostile_test(clock_start "${AMPWELL_HOSTILE}/clock-start-1e18.json" "$.clock.start: expected at most")
ampwell_hostile_test(clock_speed "${AMPWELL_HOSTILE}/clock-speed-huge.json" "$.clock.speed: expected a speed of at most")
ampwell_hostile_test(boot_time "${AMPWELL_HOSTILE}/boot-time-1e300.json" "$.bootTime: expected at most")
ampwell_hostile_test(read_delay "${AMPWELL_HOSTILE}/read-delay-2e12.json" "$.mobileDevices[0].readDelay: expected at most")
