#pragma once

#include <optional>
#include <string>

namespace ampwell::platform::sim {

// Seconds since 1970 of an ISO 8601 internet date-time: "YYYY-MM-DDThh:mm:ss", optional
// fraction of a second, then "Z" or an offset "+hh:mm" / "-hh:mm". nullopt for anything else,
// including dates that do not exist (2026-02-30).
std::optional<double> parseIso8601(const std::string& text);

}  // namespace ampwell::platform::sim
