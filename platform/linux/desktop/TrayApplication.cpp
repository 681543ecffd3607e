#include "platform/linux/desktop/TrayApplication.hpp"

#include "platform/linux/GLibMainQueue.hpp"

#include <glib.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <thread>

namespace ampwell::platform::linux_ {
namespace {

// The longest single sleep of the loop while work lies far ahead; it only asks the queue again.
constexpr long long kLongestWaitMicros = 3600LL * 1000000;

struct TraySource {
    GSource source;
    TrayApplication* application;
};

TrayApplication* applicationOf(GSource* source) { return reinterpret_cast<TraySource*>(source)->application; }

long long microsecondsSince(long long micros) { return g_get_monotonic_time() - micros; }

}  // namespace

TrayApplication::TrayApplication(MainQueue& queue, const Clock& clock)
    : queue_(queue),
      clock_(clock),
      glibQueue_(dynamic_cast<GLibMainQueue*>(&queue)),
      hostedQueue_(dynamic_cast<HostedQueue*>(&queue)) {
    if (!glibQueue_ && !hostedQueue_) throw std::runtime_error("the main queue cannot run on GLib's main loop");
}

TrayApplication::~TrayApplication() {
    if (loop_) g_main_loop_unref(loop_);
}

void TrayApplication::setDelegate(std::weak_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

// An accessory shows no window of its own until asked; GTK has nothing to switch, the choice is
// kept for what the panel and dialogs do.
void TrayApplication::setActivationPolicy(ActivationPolicy policy) { policy_ = policy; }

int TrayApplication::run() {
    if (auto delegate = delegate_.lock()) delegate->applicationDidFinishLaunching();
    if (glibQueue_) {
        const Date never = clock_.now() + Seconds(1.0e9);
        while (!terminating_) glibQueue_->runUntil(never, [this] { return terminating_; });
    } else {
        runHostedQueue();
    }
    if (auto delegate = delegate_.lock()) delegate->applicationWillTerminate();
    return 0;
}

void TrayApplication::runHostedQueue() {
    loop_ = g_main_loop_new(nullptr, FALSE);
    queueReached_ = clock_.now();
    lastTurnMicros_ = g_get_monotonic_time();
    // The work source has no prepare or check of its own: GLib wakes for it at the ready time each
    // turn sets for the queue's next work, so an idle turn of the loop never asks the queue.
    static GSourceFuncs workFuncs = {nullptr, nullptr, dispatchTurn, nullptr, nullptr, nullptr};
    workSource_ = attachSource(&workFuncs, G_PRIORITY_DEFAULT);
    // Work posted by another thread, or by the main thread outside a turn (a desktop event's
    // handler), makes the source ready at once. Work a turn adds is seen when the turn sets the
    // next ready time.
    hostedQueue_->setWakeUp([this, mainThread = std::this_thread::get_id()] {
        if (std::this_thread::get_id() == mainThread && inQueue_) return;
        wokenDuringTurn_.store(true);
        g_source_set_ready_time(workSource_, 0);
    });
    turn();
    if (!terminating_) {
        static GSourceFuncs catchUpFuncs = {prepareCatchUp, checkCatchUp, dispatchTurn, nullptr, nullptr, nullptr};
        // Ahead of the desktop's own events, so that their handlers read a clock that has caught up.
        GSource* catchUp = hostedQueue_->clockSpeed() > 0 ? nullptr : attachSource(&catchUpFuncs, G_PRIORITY_HIGH);
        g_main_loop_run(loop_);
        if (catchUp) {
            g_source_destroy(catchUp);
            g_source_unref(catchUp);
        }
    }
    hostedQueue_->setWakeUp({});
    g_source_destroy(workSource_);
    g_source_unref(workSource_);
    workSource_ = nullptr;
}

void TrayApplication::armForNextWork() {
    // A post from another thread while this looks at the queue must not be overwritten by a
    // later ready time: the flag it raises first makes the source ready again.
    wokenDuringTurn_.store(false);
    const long long micros = microsecondsToWork();
    g_source_set_ready_time(workSource_, micros < 0 ? -1 : g_get_monotonic_time() + micros);
    if (wokenDuringTurn_.load()) g_source_set_ready_time(workSource_, 0);
}

GSource* TrayApplication::attachSource(GSourceFuncs* funcs, int priority) {
    GSource* source = g_source_new(funcs, sizeof(TraySource));
    reinterpret_cast<TraySource*>(source)->application = this;
    g_source_set_priority(source, priority);
    g_source_attach(source, nullptr);
    return source;
}

long long TrayApplication::microsecondsToWork() const {
    const auto left = hostedQueue_->timeToNextWork();
    if (!left) return -1;
    if (!(left->count() > 0)) return 0;
    const double speed = hostedQueue_->clockSpeed();
    // A frozen clock moves on by the real time that passes, from where the last turn left it.
    const double realSeconds =
        speed > 0 ? left->count() / speed : left->count() - microsecondsSince(lastTurnMicros_) / 1.0e6;
    if (!(realSeconds > 0)) return 0;
    return static_cast<long long>(std::ceil(std::min(realSeconds * 1.0e6, static_cast<double>(kLongestWaitMicros))));
}

bool TrayApplication::frozenClockLags() const {
    return microsecondsSince(lastTurnMicros_) >= kFrozenLagMilliseconds * 1000LL;
}

// Never sets a timeout: it only acts when something else has woken the loop.
int TrayApplication::prepareCatchUp(GSource* source, int* timeout) {
    auto* self = applicationOf(source);
    *timeout = -1;
    return self->mayTurn() && self->frozenClockLags();
}

int TrayApplication::checkCatchUp(GSource* source) {
    auto* self = applicationOf(source);
    return self->mayTurn() && self->frozenClockLags();
}

int TrayApplication::dispatchTurn(GSource* source, int (*)(void*), void*) {
    applicationOf(source)->turn();
    return G_SOURCE_CONTINUE;
}

void TrayApplication::turn() {
    // GLib does not dispatch the work source again while it runs a turn (a nested loop),
    // and the catch-up source checks first.
    if (!mayTurn()) return;
    const long long nowMicros = g_get_monotonic_time();
    const Seconds realStep((nowMicros - lastTurnMicros_) / 1.0e6);
    lastTurnMicros_ = nowMicros;
    inQueue_ = true;
    if (hostedQueue_->clockSpeed() > 0) {
        // A running clock has moved by itself.
        hostedQueue_->runDueWork();
    } else {
        // A frozen clock moves by the real time that passed. A millisecond more lets work due
        // "now" run on a clock that has moved on while we looked.
        queueReached_ = std::max(queueReached_ + realStep, clock_.now());
        queue_.runUntil(queueReached_ + Seconds(0.001));
    }
    inQueue_ = false;
    if (terminating_ && loop_) g_main_loop_quit(loop_);
    if (workSource_ && !terminating_) armForNextWork();
}

// The next dialog raises itself above every other window (MessageDialog); there is no other
// window to bring forward.
void TrayApplication::activate() {}

void TrayApplication::terminate() {
    if (terminating_) return;
    terminating_ = true;
    if (loop_ && !inQueue_) g_main_loop_quit(loop_);
    g_main_context_wakeup(nullptr);
}

}  // namespace ampwell::platform::linux_
