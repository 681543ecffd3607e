#pragma once

#include "platform/base/HostedQueue.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/sim/SimClock.hpp"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace ampwell::platform::sim {

// The simulated Mac's main queue, driven by its SimClock.
//
// Order: posted work runs first, in posting order; then scheduled work (postAfter items, timers,
// postAt work) whose time has come, by time and, at equal times, in scheduling order.
//
// On a frozen clock runUntil never waits: when no work is runnable it moves virtual time straight
// to the next scheduled time not later than the deadline, and at last to the deadline itself, so
// a ten-second wait ends at once and every run does the same thing. It does not move time while
// a background job is busy at the current instant, and it stops at the deadline of a job that
// sleeps on the clock (see SimClock). On a running clock it sleeps
// until the next scheduled time or the deadline, and wakes early for work posted from another
// thread.
//
// Another event loop may host it (HostedQueue): the loop then runs the queue in turns when work
// is due and is woken when work arrives.
class SimMainQueue final : public MainQueue, public HostedQueue {
public:
    explicit SimMainQueue(SimClock& clock);

    void post(std::function<void()> work) override;
    // A negative delay counts as none.
    void postAfter(Seconds delay, std::shared_ptr<WorkItem> item) override;
    // An interval below 0.1 ms is taken as 0.1 ms. A repeating timer keeps its rhythm: it fires
    // at whole intervals after its first time and skips the firings it was too late for. A
    // one-shot timer is invalid once it has fired.
    std::unique_ptr<Timer> scheduleTimer(Seconds interval, bool repeats, std::function<void()> fire) override;
    // Runs work due by `deadline`; returns at once when the deadline has passed. On a frozen
    // clock a deadline equal to now runs the work that is runnable now. Throws std::logic_error
    // when called from work it runs.
    void runUntil(Date deadline) override;
    bool runUntil(Date deadline, const std::function<bool()>& done) override;

    std::optional<Seconds> timeToNextWork() const override;
    void runDueWork() override;
    double clockSpeed() const override { return clock_.speed(); }
    void setWakeUp(std::function<void()> wakeUp) override;

    // Runs `work` once virtual time reaches `elapsed` seconds after the start (the timeline).
    // Any thread.
    void postAt(double elapsed, std::function<void()> work);
    // While the returned hold lives, a frozen runUntil that runs out of runnable work waits for
    // work posted from other threads instead of moving time on: hold it while background work
    // whose result will be posted is in progress, and release it after posting. The work it
    // covers must not wait for the main queue. It must not outlive the queue. Any thread.
    std::shared_ptr<void> holdTime();
    // Work waiting to run, including cancelled items and stopped timers not yet due.
    std::size_t pendingCount() const;

    SimClock& clock() { return clock_; }

private:
    using Key = std::pair<double, std::uint64_t>;  // due time, scheduling sequence

    void schedule(double due, std::function<void()> work);
    // runUntil up to `deadline`, or up to the present time without a deadline (runDueWork).
    bool runTo(std::optional<Date> deadline, const std::function<bool()>& done);
    // Next runnable work, or nullopt when runUntil should return. Called with `lock` held.
    std::optional<std::function<void()>> nextWork(std::unique_lock<std::mutex>& lock, double target);

    SimClock& clock_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> ready_;
    std::map<Key, std::function<void()>> scheduled_;
    std::uint64_t sequence_ = 0;
    std::size_t holds_ = 0;
    bool running_ = false;
    std::function<void()> wakeUp_;  // the hosting loop's, called with mutex_ held
};

}  // namespace ampwell::platform::sim
