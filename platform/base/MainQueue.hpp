#pragma once

#include "platform/base/Clock.hpp"

#include <atomic>
#include <functional>
#include <memory>

namespace ampwell::platform {

// A unit of work that can be cancelled before it runs (the engine's coalesced event work).
class WorkItem {
public:
    explicit WorkItem(std::function<void()> work);
    // After cancel() the work never runs; harmless when it already ran. Any thread.
    void cancel();
    bool isCancelled() const;
    // Runs the work unless cancelled. Called by the queue.
    void perform();

private:
    std::function<void()> work_;
    std::atomic<bool> cancelled_{false};
};

// A timer on the main queue; destroying it (or invalidate()) stops it for good.
class Timer {
public:
    virtual ~Timer() = default;
    virtual void invalidate() = 0;
    virtual bool isValid() const = 0;
};

// The main thread's queue and event loop. `post` and `postAfter` may be called from any thread;
// everything else, and every piece of work it runs, belongs to the main thread.
class MainQueue {
public:
    virtual ~MainQueue() = default;

    // Runs `work` on the main thread after the work already posted.
    virtual void post(std::function<void()> work) = 0;
    // Runs the item on the main thread once `delay` has passed on the platform's clock,
    // unless it is cancelled first.
    virtual void postAfter(Seconds delay, std::shared_ptr<WorkItem> item) = 0;
    // A timer firing every `interval` (repeats) or once.
    virtual std::unique_ptr<Timer> scheduleTimer(Seconds interval, bool repeats,
                                                 std::function<void()> fire) = 0;
    // Runs the loop until the platform clock reaches `deadline`; work due at the deadline itself
    // still runs. Returns at once when the deadline has already passed. Main thread only; may be
    // nested in no other call of this queue.
    virtual void runUntil(Date deadline) = 0;
    // The same, but also returns as soon as `done` answers true; `done` is asked before each piece
    // of work, so nothing more runs once it holds (an application that has been asked to end).
    // Returns whether `done` ended the run. Main thread only.
    virtual bool runUntil(Date deadline, const std::function<bool()>& done) = 0;
};

}  // namespace ampwell::platform
