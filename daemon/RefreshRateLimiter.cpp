#include "daemon/RefreshRateLimiter.hpp"

namespace ampwell {

bool RefreshRateLimiter::accept(double uptime) {
    if (last && uptime - *last < kMinimumSpacing) return false;
    last = uptime;
    return true;
}

}  // namespace ampwell
