#pragma once

#include "platform/Clock.hpp"

#include <atomic>
#include <chrono>
#include <optional>

namespace ampwell::platform::sim {

// The simulated Mac's clock. All its times derive from the virtual seconds elapsed since the
// simulation started:
// - frozen (speed 0): time stands still until the main queue moves it forward (advanceTo), so
//   every run sees the same times;
// - scaled (speed N > 0): virtual time runs N times as fast as real time from `start`;
// - real (no clock in the file): wall time is the host's, elapsed time is real time.
// uptime() is the virtual time since the boot time when one is given, else since the start.
// Every method may be called from any thread.
class SimClock final : public Clock {
public:
    // The host's wall time; uptime counts from `bootTime` (seconds since 1970) when given.
    static SimClock real(std::optional<double> bootTime = std::nullopt);
    // Virtual time starting at `start`, running at `speed` (0 frozen).
    SimClock(Date start, double speed, std::optional<double> bootTime = std::nullopt);

    SimClock(const SimClock&) = delete;
    SimClock& operator=(const SimClock&) = delete;

    Date now() const override;
    Seconds uptime() const override;

    // Virtual seconds since the start.
    double elapsed() const;
    bool isFrozen() const { return speed_ == 0; }
    double speed() const { return speed_; }
    // The virtual time since the start at which the clock shows `date`.
    double elapsedAt(Date date) const;
    // Frozen clock only: moves virtual time forward to `elapsed` (never backwards).
    void advanceTo(double elapsed);
    // Running clocks: the real time until virtual time reaches `elapsed` (zero when it has).
    std::chrono::steady_clock::duration realDelayUntil(double elapsed) const;

private:
    SimClock(bool realWallTime, Date start, double speed, std::optional<double> bootTime);

    bool realWallTime_;
    Date start_;
    double speed_;
    double uptimeAtStart_;
    std::chrono::steady_clock::time_point realStart_;
    std::atomic<double> frozenElapsed_{0};
};

}  // namespace ampwell::platform::sim
