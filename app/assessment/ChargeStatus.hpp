#pragma once

#include "app/assessment/IndicatorState.hpp"
#include "app/model/DeviceBattery.hpp"

#include <optional>
#include <string>

namespace ampwell {

// One verdict of the charge monitor: the indicator state, the menu line that explains it, and the
// battery record it was based on (absent when no record could be tied to the iPad's connection).
struct ChargeStatus {
    IndicatorState state;
    std::string message;
    std::optional<DeviceBattery> battery;
};

}  // namespace ampwell
