# The built-in self-checks, run through the program itself. The success line must be the whole of
# the output: a failing check prints nothing on standard output and names its step on standard error.
set(AMPWELL_CHECK_INDICATOR_PASSED
    "^快速采样期限与电量节流、充电上限、迟滞、未知数据、多台 iPad、10W分界、掉电提醒与恢复检查通过。\n$")
set(AMPWELL_CHECK_INDICATOR_FAILED "ampwell: |Sanitizer|runtime error")

add_test(NAME check_indicator COMMAND $<TARGET_FILE:ampwell> --check-indicator)
# --check-indicator is tested before every other option, wherever it stands.
add_test(NAME check_indicator_beside_snapshot COMMAND $<TARGET_FILE:ampwell> --snapshot --check-indicator)
# The checks need no backend: a simulation file that cannot be read does not stop them.
add_test(NAME check_indicator_without_backend COMMAND $<TARGET_FILE:ampwell> --check-indicator)
set_tests_properties(check_indicator_without_backend PROPERTIES
  ENVIRONMENT "AMPWELL_SIMULATION=${CMAKE_CURRENT_BINARY_DIR}/no-such-simulation.json")

set_tests_properties(check_indicator check_indicator_beside_snapshot check_indicator_without_backend PROPERTIES
  PASS_REGULAR_EXPRESSION "${AMPWELL_CHECK_INDICATOR_PASSED}"
  FAIL_REGULAR_EXPRESSION "${AMPWELL_CHECK_INDICATOR_FAILED}")
