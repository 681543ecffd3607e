#include "platform/linux/GLibMainQueue.hpp"

#include <glib.h>

#include <cmath>
#include <deque>
#include <mutex>
#include <set>

namespace ampwell::platform::linux_ {

struct GLibMainQueue::State {
    GMainContext* context = nullptr;
    GSource* postSource = nullptr;
    std::mutex mutex;
    std::deque<std::function<void()>> posted;
    std::set<GSource*> delayed;  // postAfter sources not fired yet
};

namespace {

struct PostSource {
    GSource source;
    GLibMainQueue::State* state;
};

gboolean dispatchPosted(GSource* source, GSourceFunc, gpointer) {
    auto* state = reinterpret_cast<PostSource*>(source)->state;
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(state->mutex);
        batch.swap(state->posted);
        g_source_set_ready_time(source, -1);
    }
    for (auto& work : batch) work();
    return G_SOURCE_CONTINUE;
}

GSourceFuncs postSourceFuncs = {nullptr, nullptr, dispatchPosted, nullptr, nullptr, nullptr};

guint milliseconds(Seconds duration) {
    const double ms = std::ceil(duration.count() * 1000.0);
    if (!(ms > 0)) return 0;
    if (ms > 4.0e9) return 4000000000u;
    return static_cast<guint>(ms);
}

struct DelayedWork {
    std::weak_ptr<GLibMainQueue::State> state;
    std::shared_ptr<WorkItem> item;
};

gboolean fireDelayed(gpointer data) {
    auto* work = static_cast<DelayedWork*>(data);
    if (auto state = work->state.lock()) {
        std::lock_guard lock(state->mutex);
        state->delayed.erase(g_main_current_source());
    }
    work->item->perform();
    return G_SOURCE_REMOVE;
}

struct TimerState {
    std::function<void()> fire;
    bool repeats = false;
    bool valid = true;
};

gboolean fireTimer(gpointer data) {
    auto state = *static_cast<std::shared_ptr<TimerState>*>(data);
    if (!state->valid) return G_SOURCE_REMOVE;
    if (!state->repeats) state->valid = false;
    state->fire();
    return state->repeats && state->valid ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
}

class GLibTimer final : public Timer {
public:
    GLibTimer(std::shared_ptr<GLibMainQueue::State> queue, GSource* source, std::shared_ptr<TimerState> state)
        : queue_(std::move(queue)), source_(source), state_(std::move(state)) {}
    ~GLibTimer() override {
        invalidate();
        g_source_unref(source_);
    }
    void invalidate() override {
        state_->valid = false;
        if (!g_source_is_destroyed(source_)) g_source_destroy(source_);
    }
    bool isValid() const override { return state_->valid; }

private:
    std::shared_ptr<GLibMainQueue::State> queue_;  // keeps the context alive for destroy
    GSource* source_;
    std::shared_ptr<TimerState> state_;
};

gboolean setFlag(gpointer data) {
    *static_cast<bool*>(data) = true;
    return G_SOURCE_REMOVE;
}

}  // namespace

GLibMainQueue::GLibMainQueue(const Clock& clock, GMainContext* context)
    : state_(std::make_shared<State>()), clock_(clock) {
    state_->context = g_main_context_ref(context != nullptr ? context : g_main_context_default());
    GSource* source = g_source_new(&postSourceFuncs, sizeof(PostSource));
    reinterpret_cast<PostSource*>(source)->state = state_.get();
    g_source_set_name(source, "ampwell main queue");
    g_source_set_ready_time(source, -1);
    g_source_attach(source, state_->context);
    state_->postSource = source;
}

GLibMainQueue::~GLibMainQueue() {
    std::set<GSource*> delayed;
    {
        std::lock_guard lock(state_->mutex);
        delayed.swap(state_->delayed);
        state_->posted.clear();
    }
    for (GSource* source : delayed) g_source_destroy(source);
    g_source_destroy(state_->postSource);
    g_source_unref(state_->postSource);
    g_main_context_unref(state_->context);
}

GMainContext* GLibMainQueue::context() const { return state_->context; }

void GLibMainQueue::post(std::function<void()> work) {
    std::lock_guard lock(state_->mutex);
    state_->posted.push_back(std::move(work));
    g_source_set_ready_time(state_->postSource, 0);
}

void GLibMainQueue::postAfter(Seconds delay, std::shared_ptr<WorkItem> item) {
    GSource* source = g_timeout_source_new(milliseconds(delay));
    g_source_set_callback(source, fireDelayed, new DelayedWork{state_, std::move(item)},
                          [](gpointer data) { delete static_cast<DelayedWork*>(data); });
    std::lock_guard lock(state_->mutex);
    state_->delayed.insert(source);
    g_source_attach(source, state_->context);
    g_source_unref(source);
}

std::unique_ptr<Timer> GLibMainQueue::scheduleTimer(Seconds interval, bool repeats, std::function<void()> fire) {
    auto timerState = std::make_shared<TimerState>();
    timerState->fire = std::move(fire);
    timerState->repeats = repeats;
    GSource* source = g_timeout_source_new(milliseconds(interval));
    g_source_set_callback(source, fireTimer, new std::shared_ptr<TimerState>(timerState),
                          [](gpointer data) { delete static_cast<std::shared_ptr<TimerState>*>(data); });
    g_source_attach(source, state_->context);
    return std::make_unique<GLibTimer>(state_, source, std::move(timerState));
}

void GLibMainQueue::runUntil(Date deadline) { runUntil(deadline, nullptr); }

bool GLibMainQueue::runUntil(Date deadline, const std::function<bool()>& done) {
    for (;;) {
        if (done && done()) return true;
        const Date now = clock_.now();
        if (now >= deadline) return false;
        // Wake at the deadline at the latest; GLib's clock and the platform clock may differ
        // slightly, so the loop checks the platform clock again after each wake.
        bool woke = false;
        GSource* wake = g_timeout_source_new(milliseconds(deadline - now));
        g_source_set_callback(wake, setFlag, &woke, nullptr);
        g_source_attach(wake, state_->context);
        while (!woke && !(done && done())) g_main_context_iteration(state_->context, TRUE);
        g_source_destroy(wake);
        g_source_unref(wake);
    }
}

}  // namespace ampwell::platform::linux_
