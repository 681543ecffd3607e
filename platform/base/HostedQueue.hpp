#pragma once

#include "platform/base/Clock.hpp"

#include <functional>
#include <optional>

namespace ampwell::platform {

// A main queue that another event loop can run in turns (a toolkit's loop that owns the main
// thread): the loop sleeps until the queue next has work, then runs it (runDueWork, or runUntil to
// move a clock that stands still), and the queue wakes the loop when work arrives from any thread.
// Nothing has to look at the queue on a timer.
// A main queue implements this next to MainQueue when it can be hosted; the host finds it there.
class HostedQueue {
public:
    virtual ~HostedQueue() = default;

    // The time on the queue's clock from now until the queue next has work to run: zero when work
    // is ready (or overdue), nullopt when nothing waits. Cancelled items and stopped timers count
    // until their time comes. Main thread.
    virtual std::optional<Seconds> timeToNextWork() const = 0;

    // Runs the work that is ready or due by the clock's present time and returns without waiting
    // for more, so that a turn costs the loop no sleep of its own. A clock that stands still is not
    // moved (the host moves it with runUntil). Main thread; never from work the queue runs.
    virtual void runDueWork() = 0;

    // How many clock seconds pass in a real second: 1 for a clock that keeps real time, more for
    // a faster one, 0 for a clock that stands still until a runUntil moves it (the host decides how
    // fast it moves such a clock). Any thread.
    virtual double clockSpeed() const = 0;

    // `wakeUp` is called whenever work is posted or scheduled, from the thread that adds it and
    // with the queue's lock held: it must only signal the hosting loop (which then asks
    // timeToNextWork again), never call into the queue. Once setWakeUp returns, the previous
    // function is no longer called; an empty function stops the calls. Any thread.
    virtual void setWakeUp(std::function<void()> wakeUp) = 0;
};

}  // namespace ampwell::platform
