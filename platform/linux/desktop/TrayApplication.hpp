#pragma once

#include "platform/Application.hpp"
#include "platform/Clock.hpp"
#include "platform/MainQueue.hpp"

#include <memory>

typedef struct _GMainLoop GMainLoop;

namespace ampwell::platform::linux_ {

// The application object of the Linux desktop. Its loop is GLib's default main context, which
// GTK, GDBus and the tray all dispatch on:
// - with the Linux backend the main queue is a GLib main queue on that very context, so the loop
//   simply runs it until terminate();
// - with any other main queue (the simulated Mac) GLib runs the loop and hands the queue a turn
//   every 100 ms of real time, up to the clock's present moment; a frozen clock is moved on by
//   the real time that passed, so the simulated machine keeps pace with the person at the screen.
//   The queue is never entered again from work it is running (a dialog's nested loop waits).
class TrayApplication final : public Application {
public:
    static constexpr int kQueueTurnMilliseconds = 100;

    TrayApplication(MainQueue& queue, const Clock& clock);
    ~TrayApplication() override;

    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) override;
    void setActivationPolicy(ActivationPolicy policy) override;
    int run() override;
    void activate() override;
    void terminate() override;

    bool isTerminating() const { return terminating_; }

private:
    void runOtherQueue();
    static int queueTurn(void* data);

    MainQueue& queue_;
    const Clock& clock_;
    std::weak_ptr<ApplicationDelegate> delegate_;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    GMainLoop* loop_ = nullptr;
    bool terminating_ = false;
    bool inQueue_ = false;
    Date queueReached_{};
    long long lastTurnMicros_ = 0;
};

}  // namespace ampwell::platform::linux_
