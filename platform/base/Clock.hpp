#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace ampwell::platform {

using Seconds = std::chrono::duration<double>;
// A wall-clock instant with fractional seconds.
using Date = std::chrono::time_point<std::chrono::system_clock, Seconds>;

// Seconds between 1970-01-01 and 2001-01-01 UTC, the reference of the dates written in JSON.
inline constexpr double kSecondsFrom1970To2001 = 978307200.0;

// The latest instant a date may stand for: 9999-12-31T23:59:59Z, the last one written with a
// four-digit year. Times read from outside stay at or below it, so that a date plus any delay or
// deadline the program adds still counts whole seconds exactly and fits every integer it is
// converted to.
inline constexpr double kLatestSecondsSince1970 = 253402300799.0;

inline Date dateFromSecondsSince1970(double seconds) { return Date(Seconds(seconds)); }
inline double secondsSince1970(Date date) { return date.time_since_epoch().count(); }
inline double secondsSince2001(Date date) { return secondsSince1970(date) - kSecondsFrom1970To2001; }
inline Date dateFromSecondsSince2001(double seconds) {
    return dateFromSecondsSince1970(seconds + kSecondsFrom1970To2001);
}

// Wall time for ages and deadlines of readings; uptime for rate limits. Thread-safe.
//
// Waiting is part of the clock, so that code which waits for a deadline ("at most 4 seconds")
// keeps its meaning on a simulated clock that runs faster than real time, or that stands still
// and jumps to the next due event. The default waits suit any clock that moves with real time.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;
    // Time since boot; never goes backwards.
    virtual Seconds uptime() const = 0;

    // Blocks the calling thread until now() reaches `deadline` (returns at once when it has).
    // Any thread.
    virtual void sleepUntil(Date deadline) const;

    // Called with `lock` holding the mutex `condition` is used with, and returns with it held.
    // Waits until `condition` is notified or now() reaches `deadline`. Returns false when the
    // deadline has been reached, true otherwise (a notification, or a spurious wake-up): callers
    // check their own state in a loop. Any thread.
    virtual bool waitUntil(std::condition_variable& condition, std::unique_lock<std::mutex>& lock, Date deadline) const;
};

// The host's real clocks.
class SystemClock final : public Clock {
public:
    Date now() const override;
    Seconds uptime() const override;
};

}  // namespace ampwell::platform
