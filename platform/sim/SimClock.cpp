#include "platform/sim/SimClock.hpp"

#include <algorithm>

namespace ampwell::platform::sim {

SimClock::SimClock(bool realWallTime, Date start, double speed, std::optional<double> bootTime)
    : realWallTime_(realWallTime),
      start_(start),
      speed_(speed),
      uptimeAtStart_(bootTime ? secondsSince1970(start) - *bootTime : 0),
      realStart_(std::chrono::steady_clock::now()) {}

SimClock SimClock::real(std::optional<double> bootTime) {
    return SimClock(true, SystemClock().now(), 1, bootTime);
}

SimClock::SimClock(Date start, double speed, std::optional<double> bootTime)
    : SimClock(false, start, std::max(0.0, speed), bootTime) {}

double SimClock::elapsed() const {
    if (isFrozen()) return frozenElapsed_.load();
    const auto real = std::chrono::steady_clock::now() - realStart_;
    return std::chrono::duration<double>(real).count() * speed_;
}

Date SimClock::now() const {
    if (realWallTime_) return SystemClock().now();
    return start_ + Seconds(elapsed());
}

Seconds SimClock::uptime() const { return Seconds(uptimeAtStart_ + elapsed()); }

double SimClock::elapsedAt(Date date) const {
    if (!realWallTime_) return (date - start_).count();
    // Measured from the current reading, so that steps of the host's wall clock cannot shift it.
    return elapsed() + (date - now()).count();
}

void SimClock::advanceTo(double target) {
    double current = frozenElapsed_.load();
    while (target > current && !frozenElapsed_.compare_exchange_weak(current, target)) {
    }
}

std::chrono::steady_clock::duration SimClock::realDelayUntil(double target) const {
    if (isFrozen()) return std::chrono::steady_clock::duration::zero();
    const double virtualDelay = target - elapsed();
    if (!(virtualDelay > 0)) return std::chrono::steady_clock::duration::zero();
    return std::chrono::ceil<std::chrono::steady_clock::duration>(std::chrono::duration<double>(virtualDelay / speed_));
}

}  // namespace ampwell::platform::sim
