#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/WorkObserver.hpp"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace ampwell::platform {

// A serial queue: one thread of its own that runs the jobs handed to it one at a time, in the
// order they were queued. Jobs never run concurrently with each other, so whatever only jobs touch
// needs no lock. When `clock` is also a WorkObserver, the queue reports its jobs to it, so that a
// clock which moves only when everybody waits knows that a queued job still has to run.
class SerialQueue {
public:
    SerialQueue(std::string label, const Clock& clock);
    // Runs the jobs already queued, then ends the thread. Must not be called from a job.
    ~SerialQueue();
    SerialQueue(const SerialQueue&) = delete;
    SerialQueue& operator=(const SerialQueue&) = delete;

    // Queues `job` behind the jobs already queued and returns at once. A job must not throw.
    // Any thread.
    void async(std::function<void()> job);

    const std::string& label() const { return label_; }

private:
    void run();

    const std::string label_;
    const WorkObserver* const observer_;  // nullptr for a clock that moves by itself
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> jobs_;
    bool ending_ = false;
    std::thread thread_;  // last: starts once everything above is ready
};

}  // namespace ampwell::platform
