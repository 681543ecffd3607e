#pragma once

#include "platform/base/Clock.hpp"

#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <thread>

namespace ampwell::test {

// A clock that stands still until the test moves it. Threads that wait on it are seen by the
// test (`awaitWaiters`), so a test can put every thread at a known point before it moves time on;
// that makes races between callers and a worker play out the same way on every run.
class ManualClock final : public platform::Clock {
public:
    explicit ManualClock(platform::Date start = platform::dateFromSecondsSince1970(1'800'000'000));

    platform::Date now() const override;
    platform::Seconds uptime() const override;
    void sleepUntil(platform::Date deadline) const override;
    bool waitUntil(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                   platform::Date deadline) const override;

    // Seconds since the start.
    double elapsed() const;
    void advanceTo(double elapsedSeconds);
    // Blocks until `count` distinct threads have waited for the deadline `elapsedSeconds` after
    // the start (a timed wait or a sleep). Fails the test after 10 real seconds.
    void awaitWaiters(double elapsedSeconds, std::size_t count) const;

private:
    void noteWaiter(platform::Date deadline) const;

    const platform::Date start_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    platform::Date now_;
    mutable std::map<double, std::set<std::thread::id>> waiters_;
};

}  // namespace ampwell::test
