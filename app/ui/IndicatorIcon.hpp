#pragma once

#include "app/assessment/IndicatorState.hpp"
#include "platform/base/Translation.hpp"
#include "platform/drawing/Color.hpp"
#include "platform/drawing/Image.hpp"

#include <memory>

namespace ampwell {

// The colour of a state: system green for normal, yellow for low, grey for unavailable.
platform::Color indicatorColor(IndicatorState state);

// The status-bar icon of a state: a 14 x 16 point tablet outline with its camera dot and a bolt,
// all in the state colour. Not a template image, so it keeps its colour in any menu bar. Its
// name() is the state's raw value ("normal", "low", "unavailable"); its accessibility
// description is kIndicatorIconDescription.
std::shared_ptr<const platform::Image> indicatorIcon(IndicatorState state);

inline constexpr const char* kIndicatorIconDescription = platform::trMarked("iPad 充电功率状态");

}  // namespace ampwell
