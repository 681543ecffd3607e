#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/MainQueue.hpp"

#include <functional>
#include <memory>

typedef struct _GMainContext GMainContext;

namespace ampwell::platform::linux_ {

// The main queue on a GLib main context (by default the process's default context, which the
// desktop toolkit and notification libraries share). Posted work runs in posting order from one
// source; delays and timers are GLib timeouts. Destroying the queue drops work that has not run.
class GLibMainQueue final : public MainQueue {
public:
    // `clock` is the platform clock that runUntil's deadline is read on.
    explicit GLibMainQueue(const Clock& clock, GMainContext* context = nullptr);
    ~GLibMainQueue() override;
    GLibMainQueue(const GLibMainQueue&) = delete;
    GLibMainQueue& operator=(const GLibMainQueue&) = delete;

    void post(std::function<void()> work) override;
    void postAfter(Seconds delay, std::shared_ptr<WorkItem> item) override;
    std::unique_ptr<Timer> scheduleTimer(Seconds interval, bool repeats, std::function<void()> fire) override;
    void runUntil(Date deadline) override;

    bool runUntil(Date deadline, const std::function<bool()>& done) override;

    GMainContext* context() const;

    struct State;

private:
    std::shared_ptr<State> state_;
    const Clock& clock_;
};

}  // namespace ampwell::platform::linux_
