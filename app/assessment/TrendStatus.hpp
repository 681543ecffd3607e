#pragma once

#include <optional>
#include <string>

namespace ampwell {

// One verdict of the battery trend monitor: whether the charge keeps falling on external power,
// the footnote line describing the trend, and the identifier of the current falling episode.
struct TrendStatus {
    bool falling = false;
    std::string message;
    std::optional<std::string> incident;
};

}  // namespace ampwell
