#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/WorkObserver.hpp"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
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
//
// Waiting on a frozen clock. Time moves only when nobody has anything left to do at the current
// instant, and then straight to the next moment somebody waits for:
// - a job queued on a serial queue (see WorkObserver) counts as busy from the moment it is
//   queued until it ends, except while it sleeps or waits on this clock;
// - a job that sleeps (sleepUntil) is woken when time reaches its deadline, and counts as busy
//   again from that moment;
// - a thread that is not running a job (the main thread) drives time: when it waits, and no job is
//   busy, it moves time to the earliest deadline of a sleeping job or its own, whichever comes
//   first; the main queue does the same when it runs out of work (advanceWhenQuiet).
// So a read that takes 6 simulated seconds and a caller that gives up after 4 play out in the
// same order on every run, at once. One driving thread at a time is assumed (the main thread); a
// job that waits for a notification from another job may see time move on by one step before it
// runs again, since such a notification does not pass through the clock.
class SimClock final : public Clock, public WorkObserver {
public:
    // The host's wall time; uptime counts from `bootTime` (seconds since 1970) when given.
    static SimClock real(std::optional<double> bootTime = std::nullopt);
    // Virtual time starting at `start`, running at `speed` (0 frozen).
    SimClock(Date start, double speed, std::optional<double> bootTime = std::nullopt);

    SimClock(const SimClock&) = delete;
    SimClock& operator=(const SimClock&) = delete;

    Date now() const override;
    Seconds uptime() const override;
    void sleepUntil(Date deadline) const override;
    bool waitUntil(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                   Date deadline) const override;
    void workQueued() const override;
    void workStarted() const override;
    void workEnded() const override;

    // Virtual seconds since the start.
    double elapsed() const;
    bool isFrozen() const { return speed_ == 0; }
    double speed() const { return speed_; }
    // The virtual time since the start at which the clock shows `date`.
    double elapsedAt(Date date) const;
    // Frozen clock only: moves virtual time forward to `elapsed` (never backwards), waking the
    // jobs that sleep until then.
    void advanceTo(double elapsed);
    // Frozen clock only: when no job is busy, moves time forward to `elapsed` or to the earlier
    // deadline of a sleeping job, and returns true; returns false (and leaves time alone) while a
    // job is busy.
    bool advanceWhenQuiet(double elapsed);
    // Running clocks: the real time until virtual time reaches `elapsed` (zero when it has), at
    // most an hour.
    std::chrono::steady_clock::duration realDelayUntil(double elapsed) const;

private:
    SimClock(bool realWallTime, Date start, double speed, std::optional<double> bootTime);

    bool realWallTime_;
    Date start_;
    double speed_;
    double uptimeAtStart_;
    std::chrono::steady_clock::time_point realStart_;
    mutable std::atomic<double> frozenElapsed_{0};

    // Waiting on the frozen clock; all guarded by waitMutex_.
    struct Sleeper {
        bool woken = false;
        // A job waiting for another thread, and how many jobs had ended when it last looked at
        // what it waits for: once another job ends, it may have been answered.
        bool waitsForOthers = false;
        std::uint64_t endsSeen = 0;
    };
    // No job is busy, and every job waiting for another thread has looked again since the last
    // job ended; only then may time move on.
    bool quietLocked() const;
    void advanceLocked(double target) const;
    double earliestDeadlineLocked(double limit) const;
    void sleepFrozen(double due) const;
    bool waitFrozen(std::condition_variable& condition, std::unique_lock<std::mutex>& lock, double due) const;

    mutable std::mutex waitMutex_;
    mutable std::condition_variable waitChanged_;
    mutable std::multimap<double, Sleeper*> sleepers_;  // jobs sleeping or waiting, by deadline
    mutable int busy_ = 0;                               // jobs that still act at the current instant
    mutable std::uint64_t jobsEnded_ = 0;
};

}  // namespace ampwell::platform::sim
