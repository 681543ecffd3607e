#include "app/assessment/IndicatorState.hpp"

#include <cmath>

namespace ampwell {

const std::array<IndicatorState, 3> IndicatorState::allCases{IndicatorState::normal, IndicatorState::low,
                                                             IndicatorState::unavailable};

std::optional<IndicatorState> IndicatorState::fromRawValue(std::string_view text) {
    for (IndicatorState state : allCases)
        if (state.rawValue() == text) return state;
    return std::nullopt;
}

IndicatorState IndicatorState::power(std::optional<double> watts, double threshold) {
    if (!watts || !std::isfinite(*watts) || *watts < 0) return unavailable;
    return *watts < threshold ? low : normal;
}

std::string_view IndicatorState::rawValue() const {
    switch (value_) {
    case normal: return "normal";
    case low: return "low";
    case unavailable: return "unavailable";
    }
    return "unavailable";
}

std::ostream& operator<<(std::ostream& stream, IndicatorState state) { return stream << state.rawValue(); }

}  // namespace ampwell
