#pragma once

#include "platform/base/Clock.hpp"
#include "platform/desktop/KeyShortcut.hpp"

#include <nlohmann/json.hpp>

#include <string>

namespace ampwell::platform::headless {

// One event of the headless desktop as a line a newcomer can read: the time of day on the platform
// clock (UTC, milliseconds), a short label for what happened, then what a user would have seen.
// Line breaks inside texts become spaces, so an event is always exactly one line. Events it does
// not know are shown by name with their fields as compact JSON. Key equivalents are written in
// `shortcuts`, as the machine's menus write them.
std::string eventLine(Date time, const std::string& event, const nlohmann::json& fields,
                      ShortcutStyle shortcuts = ShortcutStyle::command);

}  // namespace ampwell::platform::headless
