#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/HostedQueue.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/desktop/Application.hpp"

#include <atomic>
#include <memory>

typedef struct _GMainLoop GMainLoop;
typedef struct _GSource GSource;
typedef struct _GSourceFuncs GSourceFuncs;

namespace ampwell::platform::linux_ {

class GLibMainQueue;

// The application object of the Linux desktop. Its loop is GLib's default main context, which
// GTK, GDBus and the tray all dispatch on:
// - with the Linux backend the main queue is a GLib main queue on that very context, so the loop
//   simply runs it until terminate();
// - a queue that GLib can host (the simulated Mac's) gets a turn, a run of the work due at the
//   clock's present moment, exactly when its next work comes due and at once when work is posted
//   from another thread or by a desktop event's handler; an idle application sleeps until then.
//   A frozen clock is moved on by the real time that passed, so the simulated machine keeps pace
//   with the person at the screen: when its work comes due, and before any desktop event is
//   handled once the clock lags by kFrozenLagMilliseconds, so that handlers read the present
//   time. The queue is never entered again from work it is running (a nested loop of any library waits).
class TrayApplication final : public Application {
public:
    static constexpr int kFrozenLagMilliseconds = 50;

    // Throws std::runtime_error for a queue that is neither a GLib main queue nor one GLib can host.
    TrayApplication(MainQueue& queue, const Clock& clock);
    ~TrayApplication() override;
    TrayApplication(const TrayApplication&) = delete;
    TrayApplication& operator=(const TrayApplication&) = delete;

    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) override;
    void setActivationPolicy(ActivationPolicy policy) override;
    int run() override;
    void activate() override;
    void terminate() override;

    bool isTerminating() const { return terminating_; }

private:
    void runHostedQueue();
    // Real microseconds until the hosted queue has work due: 0 when it has now, -1 when it has none.
    long long microsecondsToWork() const;
    // A frozen clock has fallen behind real time by enough to be moved on before the next event.
    bool frozenClockLags() const;
    bool mayTurn() const { return !inQueue_ && !terminating_; }
    void turn();

    // Sets the work source's ready time to when the hosted queue next has work.
    void armForNextWork();
    static int prepareCatchUp(GSource* source, int* timeout);
    static int checkCatchUp(GSource* source);
    static int dispatchTurn(GSource* source, int (*callback)(void*), void* data);
    GSource* attachSource(GSourceFuncs* funcs, int priority);

    MainQueue& queue_;
    const Clock& clock_;
    GLibMainQueue* glibQueue_ = nullptr;
    HostedQueue* hostedQueue_ = nullptr;
    std::weak_ptr<ApplicationDelegate> delegate_;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    GMainLoop* loop_ = nullptr;
    bool terminating_ = false;
    bool inQueue_ = false;
    Date queueReached_{};
    long long lastTurnMicros_ = 0;
    GSource* workSource_ = nullptr;
    std::atomic<bool> wokenDuringTurn_{false};
};

}  // namespace ampwell::platform::linux_
