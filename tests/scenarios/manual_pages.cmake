# The manual pages generated from docs/manual/pages.json: well-formed roff, and ampwell(1) in step
# with the program's --help. Skipped where groff is not installed.
find_program(AMPWELL_GROFF groff)
if(AMPWELL_GROFF)
  add_test(NAME manual_pages COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:ampwell>
           "-DPAGES=${AMPWELL_GENERATED_DIR}/man/ampwell.1;${AMPWELL_GENERATED_DIR}/man/ampwelld.8"
           -DGROFF=${AMPWELL_GROFF} -P ${CMAKE_CURRENT_LIST_DIR}/scripts/expect_manual_pages.cmake)
endif()
