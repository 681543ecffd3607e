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
ampwell_hostile_test(number_overflow "${AMPWELL_HOSTILE}/number-1e400.json" "$.clock.start: number overflow")

# A property nested 100,000 levels deep (a 200 KB file).
string(REPEAT "[" 100000 opening)
string(REPEAT "]" 100000 closing)
file(WRITE "${AMPWELL_HOSTILE_BUILT}/deep-nesting.json"
     "{\"format\": \"ampwell-simulation/1\", \"registry\": [{\"id\": 1, \"class\": \"A\", \"properties\": {\"deep\": ${opening}${closing}}}]}")
ampwell_hostile_test(deep_nesting "${AMPWELL_HOSTILE_BUILT}/deep-nesting.json" "nest deeper than 256 levels")
# A device that never ends, and a named pipe nobody writes to.
file(CREATE_LINK /dev/zero "${AMPWELL_HOSTILE_BUILT}/dev-zero.json" SYMBOLIC)
ampwell_hostile_test(device "${AMPWELL_HOSTILE_BUILT}/dev-zero.json" "$: cannot be read: it is not a regular file")
ampwell_hostile_test(named_pipe "${AMPWELL_HOSTILE_BUILT}/fifo.json" "$: cannot be read: it is not a regular file"
                     -DMAKE_FIFO=ON)
