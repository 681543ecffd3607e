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
    // Work posted from now on by another thread ends the loop's sleep; the sources then look
    // again. Work the main thread adds needs no signal: it is added while a source or callback of
    // this loop runs, and the loop looks at the queue again before it sleeps.
    hostedQueue_->setWakeUp([mainThread = std::this_thread::get_id()] {
        if (std::this_thread::get_id() != mainThread) g_main_context_wakeup(nullptr);
    });
    turn();
    if (!terminating_) {
        static GSourceFuncs workFuncs = {prepareWork, checkWork, dispatchTurn, nullptr, nullptr, nullptr};
        static GSourceFuncs catchUpFuncs = {prepareCatchUp, checkCatchUp, dispatchTurn, nullptr, nullptr, nullptr};
        GSource* work = attachSource(&workFuncs, G_PRIORITY_DEFAULT);
        // Ahead of the desktop's own events, so that their handlers read a clock that has caught up.
        GSource* catchUp = hostedQueue_->clockSpeed() > 0 ? nullptr : attachSource(&catchUpFuncs, G_PRIORITY_HIGH);
        g_main_loop_run(loop_);
        for (GSource* source : {work, catchUp}) {
            if (!source) continue;
            g_source_destroy(source);
            g_source_unref(source);
        }
    }
    hostedQueue_->setWakeUp({});
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

int TrayApplication::prepareWork(GSource* source, int* timeout) {
    auto* self = applicationOf(source);
    *timeout = -1;
    if (!self->mayTurn()) return FALSE;
    const long long micros = self->microsecondsToWork();
    if (micros == 0) return TRUE;
    if (micros > 0) *timeout = static_cast<int>((micros + 999) / 1000);
    return FALSE;
}

int TrayApplication::checkWork(GSource* source) {
    auto* self = applicationOf(source);
    return self->mayTurn() && self->microsecondsToWork() == 0;
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
