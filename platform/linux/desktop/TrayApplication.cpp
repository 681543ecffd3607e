#include "platform/linux/desktop/TrayApplication.hpp"

#include "platform/linux/GLibMainQueue.hpp"

#include <glib.h>

#include <algorithm>

namespace ampwell::platform::linux_ {

TrayApplication::TrayApplication(MainQueue& queue, const Clock& clock) : queue_(queue), clock_(clock) {}

TrayApplication::~TrayApplication() {
    if (loop_) g_main_loop_unref(loop_);
}

void TrayApplication::setDelegate(std::weak_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

// An accessory shows no window of its own until asked; GTK has nothing to switch, the choice is
// kept for what the panel and dialogs do.
void TrayApplication::setActivationPolicy(ActivationPolicy policy) { policy_ = policy; }

int TrayApplication::run() {
    if (auto delegate = delegate_.lock()) delegate->applicationDidFinishLaunching();
    if (auto* glib = dynamic_cast<GLibMainQueue*>(&queue_)) {
        const Date never = clock_.now() + Seconds(1.0e9);
        while (!terminating_) glib->runUntil(never, [this] { return terminating_; });
    } else {
        runOtherQueue();
    }
    if (auto delegate = delegate_.lock()) delegate->applicationWillTerminate();
    return 0;
}

void TrayApplication::runOtherQueue() {
    loop_ = g_main_loop_new(nullptr, FALSE);
    queueReached_ = clock_.now();
    lastTurnMicros_ = g_get_monotonic_time();
    queueTurn(this);
    if (!terminating_) {
        g_timeout_add(kQueueTurnMilliseconds, [](gpointer data) -> gboolean { return queueTurn(data); }, this);
        g_main_loop_run(loop_);
    }
}

int TrayApplication::queueTurn(void* data) {
    auto* self = static_cast<TrayApplication*>(data);
    if (self->terminating_) {
        if (self->loop_) g_main_loop_quit(self->loop_);
        return G_SOURCE_REMOVE;
    }
    if (self->inQueue_) return G_SOURCE_CONTINUE;  // a dialog opened by the queue's own work
    const long long nowMicros = g_get_monotonic_time();
    const Seconds realStep((nowMicros - self->lastTurnMicros_) / 1.0e6);
    self->lastTurnMicros_ = nowMicros;
    // A running clock has moved by itself; a frozen one moves by the real time that passed. A
    // millisecond more lets work due "now" run on a clock that has moved on while we looked.
    self->queueReached_ = std::max(self->queueReached_ + realStep, self->clock_.now());
    self->inQueue_ = true;
    self->queue_.runUntil(self->queueReached_ + Seconds(0.001));
    self->inQueue_ = false;
    if (self->terminating_ && self->loop_) g_main_loop_quit(self->loop_);
    return G_SOURCE_CONTINUE;
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
