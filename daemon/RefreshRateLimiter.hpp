#pragma once

#include <optional>

namespace ampwell {

// Keeps accepted refresh requests at least kMinimumSpacing apart by system uptime (never wall
// time, which the user can set back). A refused request leaves the state alone.
struct RefreshRateLimiter {
    static constexpr double kMinimumSpacing = 2.0;

    // Uptime in seconds of the last accepted request; absent until the first.
    std::optional<double> last;

    // Accepts (and remembers `uptime`) unless the last accepted request was less than
    // kMinimumSpacing before it.
    bool accept(double uptime);
};

}  // namespace ampwell
