#pragma once

namespace ampwell::platform {

// Hears of work handed to another thread: `workQueued` when a job is queued (on the queuing
// thread), `workStarted` and `workEnded` around the job on the thread that runs it. Only a clock
// that moves when everybody waits (the frozen simulated clock) needs this, so that it does not move
// on while a queued job is still to run at the current instant; such a clock implements this next
// to Clock, and SerialQueue finds it there. Clocks that move by themselves know nothing of it.
class WorkObserver {
public:
    virtual ~WorkObserver() = default;
    virtual void workQueued() const = 0;
    virtual void workStarted() const = 0;
    virtual void workEnded() const = 0;
};

}  // namespace ampwell::platform
