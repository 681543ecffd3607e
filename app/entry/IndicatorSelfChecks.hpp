#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/Translation.hpp"

#include <iosfwd>
#include <optional>
#include <string>

namespace ampwell {

// Printed when every check holds; it names the areas covered.
inline constexpr const char* kIndicatorSelfChecksPassed = platform::trMarked(
    "快速采样期限与电量节流、充电上限、迟滞、未知数据、多台 iPad、10W分界、掉电提醒与恢复检查通过。");

// The scripted checks of the charge-assessment logic: the real SamplingCadence, power-data time
// stamp, ChargeMonitor and BatteryTrendMonitor driven with made-up readings at offsets from `t0`.
// Runs them in their fixed order (later steps depend on the state earlier ones left) and stops at
// the first assertion that does not hold. Returns that step's name ("C7"), or nullopt when all hold.
std::optional<std::string> runIndicatorSelfChecks(platform::Date t0);

// Turns the outcome into the mode's output and exit status: the success line on `out` and 0, or
// nothing on `out`, the failing step on `err` and 1.
int reportIndicatorSelfChecks(const std::optional<std::string>& failedStep, std::ostream& out, std::ostream& err);

}  // namespace ampwell
