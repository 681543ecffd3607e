#include "platform/base/Clock.hpp"

#include <algorithm>
#include <thread>

namespace ampwell::platform {

Date SystemClock::now() const {
    return std::chrono::time_point_cast<Seconds>(std::chrono::system_clock::now());
}

Seconds SystemClock::uptime() const {
    return std::chrono::duration_cast<Seconds>(std::chrono::steady_clock::now().time_since_epoch());
}

namespace {

// Real waits are made in slices no longer than this, so that a far deadline (a "forever" given as
// a date centuries away) never overflows the steady clock's integer ticks.
constexpr Seconds kLongestRealWait{3600.0};

Seconds remainingUntil(const Clock& clock, Date deadline) {
    return std::min(deadline - clock.now(), kLongestRealWait);
}

}  // namespace

void Clock::sleepUntil(Date deadline) const {
    for (Seconds left = remainingUntil(*this, deadline); left > Seconds(0); left = remainingUntil(*this, deadline))
        std::this_thread::sleep_for(left);
}

bool Clock::waitUntil(std::condition_variable& condition, std::unique_lock<std::mutex>& lock, Date deadline) const {
    const Seconds left = remainingUntil(*this, deadline);
    if (left <= Seconds(0)) return false;
    condition.wait_for(lock, left);
    return now() < deadline;
}

}  // namespace ampwell::platform
