#include "platform/sim/SimClock.hpp"

#include <algorithm>
#include <limits>
#include <thread>

namespace ampwell::platform::sim {
namespace {

// How many serial-queue jobs the calling thread is running (a job may run a nested queue's job
// only through another thread, so this is 0 or 1 in practice).
thread_local int tlJobsRunning = 0;

// A thread that waits on somebody else's condition variable cannot be woken by the clock without
// taking that variable's lock, which could deadlock; it looks at the clock again this often.
constexpr std::chrono::milliseconds kFrozenPoll{1};

// Real waits are made in slices no longer than this (a far deadline must not overflow).
constexpr std::chrono::steady_clock::duration kLongestRealWait = std::chrono::hours(1);

}  // namespace

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
    std::lock_guard lock(waitMutex_);
    advanceLocked(target);
}

bool SimClock::quietLocked() const {
    if (busy_ > 0) return false;
    // A job that has just answered a waiting job ends before the waiter wakes; until the waiter
    // has looked, it would otherwise count as idle and time could jump past its answer.
    for (const auto& [due, sleeper] : sleepers_)
        if (sleeper->waitsForOthers && sleeper->endsSeen != jobsEnded_) return false;
    return true;
}

bool SimClock::advanceWhenQuiet(double target) {
    std::lock_guard lock(waitMutex_);
    if (!quietLocked()) return false;
    advanceLocked(earliestDeadlineLocked(target));
    return true;
}

void SimClock::advanceLocked(double target) const {
    if (target > frozenElapsed_.load()) frozenElapsed_.store(target);
    const double now = frozenElapsed_.load();
    bool woke = false;
    for (auto it = sleepers_.begin(); it != sleepers_.end() && it->first <= now;) {
        it->second->woken = true;
        ++busy_;  // the woken job acts at this instant
        it = sleepers_.erase(it);
        woke = true;
    }
    if (woke) waitChanged_.notify_all();
}

double SimClock::earliestDeadlineLocked(double limit) const {
    return sleepers_.empty() ? limit : std::min(limit, sleepers_.begin()->first);
}

void SimClock::workQueued() const {
    std::lock_guard lock(waitMutex_);
    ++busy_;
}

void SimClock::workStarted() const { ++tlJobsRunning; }

void SimClock::workEnded() const {
    --tlJobsRunning;
    std::lock_guard lock(waitMutex_);
    --busy_;
    ++jobsEnded_;
    waitChanged_.notify_all();
}

void SimClock::sleepUntil(Date deadline) const {
    const double due = elapsedAt(deadline);
    if (isFrozen()) return sleepFrozen(due);
    for (auto left = realDelayUntil(due); left > left.zero(); left = realDelayUntil(elapsedAt(deadline)))
        std::this_thread::sleep_for(std::min(left, kLongestRealWait));
}

bool SimClock::waitUntil(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                         Date deadline) const {
    if (isFrozen()) return waitFrozen(condition, lock, elapsedAt(deadline));
    const auto left = realDelayUntil(elapsedAt(deadline));
    if (left <= left.zero()) return false;
    condition.wait_for(lock, std::min(left, kLongestRealWait));
    return realDelayUntil(elapsedAt(deadline)) > left.zero();
}

void SimClock::sleepFrozen(double due) const {
    std::unique_lock lock(waitMutex_);
    if (tlJobsRunning > 0) {
        // A job sleeps: it no longer holds time back until time reaches its deadline.
        if (frozenElapsed_.load() >= due) return;
        Sleeper sleeper;
        sleepers_.emplace(due, &sleeper);
        --busy_;
        waitChanged_.notify_all();
        waitChanged_.wait(lock, [&] { return sleeper.woken; });
        return;
    }
    // The driving thread: move time on whenever no job is busy.
    while (frozenElapsed_.load() < due) {
        if (quietLocked())
            advanceLocked(earliestDeadlineLocked(due));
        else
            waitChanged_.wait_for(lock, kFrozenPoll);
    }
}

bool SimClock::waitFrozen(std::condition_variable& condition, std::unique_lock<std::mutex>& lock, double due) const {
    std::unique_lock clockLock(waitMutex_);
    if (frozenElapsed_.load() >= due) return false;
    if (tlJobsRunning > 0) {
        // A job waits for another thread: it is not busy while it waits, and time may wake it.
        Sleeper sleeper;
        sleeper.waitsForOthers = true;
        sleeper.endsSeen = jobsEnded_;
        const auto entry = sleepers_.emplace(due, &sleeper);
        --busy_;
        waitChanged_.notify_all();
        clockLock.unlock();
        condition.wait_for(lock, kFrozenPoll);
        clockLock.lock();
        if (!sleeper.woken) {
            sleepers_.erase(entry);
            ++busy_;
        }
        return frozenElapsed_.load() < due;
    }
    // The driving thread: when no job is busy, move time on (to a sleeping job's deadline or to
    // its own); otherwise give the busy jobs a moment and let the caller look at its state again.
    if (quietLocked()) {
        advanceLocked(earliestDeadlineLocked(due));
        if (frozenElapsed_.load() >= due) return false;
    }
    clockLock.unlock();
    condition.wait_for(lock, kFrozenPoll);
    return frozenElapsed_.load() < due;
}

std::chrono::steady_clock::duration SimClock::realDelayUntil(double target) const {
    if (isFrozen()) return std::chrono::steady_clock::duration::zero();
    const double virtualDelay = target - elapsed();
    if (!(virtualDelay > 0)) return std::chrono::steady_clock::duration::zero();
    // Capped before the conversion: a delay of centuries does not fit the steady clock's ticks,
    // and every caller waits in slices anyway.
    const std::chrono::duration<double> realDelay(
        std::min(virtualDelay / speed_, std::chrono::duration<double>(kLongestRealWait).count()));
    return std::chrono::ceil<std::chrono::steady_clock::duration>(realDelay);
}

}  // namespace ampwell::platform::sim
