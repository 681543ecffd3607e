#include "platform/sim/SimMainQueue.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <stdexcept>

namespace ampwell::platform::sim {
namespace {

constexpr double kMinimumTimerInterval = 0.0001;
// Scheduled times are doubles computed from dates; work due within this margin of the deadline
// counts as due by it.
constexpr double kDeadlineTolerance = 1e-6;
// How often a frozen runUntil looks again whether the background jobs have finished their work at
// the current instant (they tell the clock, not the queue).
constexpr std::chrono::milliseconds kBusyJobPoll{1};

struct TimerState {
    std::atomic<bool> valid{true};
    double interval = kMinimumTimerInterval;
    bool repeats = false;
    std::function<void()> fire;
};

class SimTimer final : public Timer {
public:
    explicit SimTimer(std::shared_ptr<TimerState> state) : state_(std::move(state)) {}
    ~SimTimer() override { invalidate(); }
    void invalidate() override { state_->valid.store(false); }
    bool isValid() const override { return state_->valid.load(); }

private:
    std::shared_ptr<TimerState> state_;
};

}  // namespace

SimMainQueue::SimMainQueue(SimClock& clock) : clock_(clock) {}

void SimMainQueue::post(std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(work));
        if (wakeUp_) wakeUp_();
    }
    wake_.notify_all();
}

void SimMainQueue::postAfter(Seconds delay, std::shared_ptr<WorkItem> item) {
    const double due = clock_.elapsed() + std::max(0.0, delay.count());
    schedule(due, [item = std::move(item)] {
        if (item) item->perform();
    });
}

void SimMainQueue::postAt(double elapsed, std::function<void()> work) { schedule(elapsed, std::move(work)); }

std::unique_ptr<Timer> SimMainQueue::scheduleTimer(Seconds interval, bool repeats, std::function<void()> fire) {
    auto state = std::make_shared<TimerState>();
    state->interval = std::isfinite(interval.count()) ? std::max(kMinimumTimerInterval, interval.count())
                                                      : kMinimumTimerInterval;
    state->repeats = repeats;
    state->fire = std::move(fire);
    // The queue holds the timer weakly: a destroyed timer leaves only an empty slot behind.
    struct Firing {
        SimMainQueue* queue;
        std::weak_ptr<TimerState> weak;
        double due;
        void operator()() const {
            const auto timer = weak.lock();
            if (!timer || !timer->valid.load()) return;
            if (timer->fire) timer->fire();
            if (!timer->repeats) {
                timer->valid.store(false);
                return;
            }
            if (!timer->valid.load()) return;
            const double now = queue->clock_.elapsed();
            double next = due + timer->interval;
            if (next <= now) next = due + timer->interval * (std::floor((now - due) / timer->interval) + 1);
            queue->schedule(next, Firing{queue, weak, next});
        }
    };
    const double first = clock_.elapsed() + state->interval;
    schedule(first, Firing{this, state, first});
    return std::make_unique<SimTimer>(std::move(state));
}

void SimMainQueue::schedule(double due, std::function<void()> work) {
    {
        std::lock_guard lock(mutex_);
        scheduled_.emplace(Key{due, sequence_++}, std::move(work));
        if (wakeUp_) wakeUp_();
    }
    wake_.notify_all();
}

std::shared_ptr<void> SimMainQueue::holdTime() {
    {
        std::lock_guard lock(mutex_);
        ++holds_;
    }
    return std::shared_ptr<void>(nullptr, [this](void*) {
        {
            std::lock_guard lock(mutex_);
            --holds_;
        }
        wake_.notify_all();
    });
}

std::size_t SimMainQueue::pendingCount() const {
    std::lock_guard lock(mutex_);
    return ready_.size() + scheduled_.size();
}

std::optional<Seconds> SimMainQueue::timeToNextWork() const {
    std::lock_guard lock(mutex_);
    if (!ready_.empty()) return Seconds(0);
    if (scheduled_.empty()) return std::nullopt;
    return Seconds(std::max(0.0, scheduled_.begin()->first.first - clock_.elapsed()));
}

void SimMainQueue::setWakeUp(std::function<void()> wakeUp) {
    std::lock_guard lock(mutex_);
    wakeUp_ = std::move(wakeUp);
}

std::optional<std::function<void()>> SimMainQueue::nextWork(std::unique_lock<std::mutex>& lock, double target) {
    for (;;) {
        if (!ready_.empty()) {
            auto work = std::move(ready_.front());
            ready_.pop_front();
            return work;
        }
        const double now = clock_.elapsed();
        const bool anyScheduled = !scheduled_.empty();
        const double nextDue = anyScheduled ? scheduled_.begin()->first.first : 0;
        if (anyScheduled && nextDue <= now) {
            auto node = scheduled_.extract(scheduled_.begin());
            return std::move(node.mapped());
        }
        if (clock_.isFrozen()) {
            if (holds_ > 0) {
                wake_.wait(lock);
                continue;
            }
            // Time moves only while no background job is busy, and stops early at the deadline of
            // a job that sleeps on the clock (a slow simulated device), which then runs first.
            const bool eventDue = anyScheduled && nextDue <= target + kDeadlineTolerance;
            if (!clock_.advanceWhenQuiet(eventDue ? nextDue : target)) {
                wake_.wait_for(lock, kBusyJobPoll);
                continue;
            }
            if (!eventDue && clock_.elapsed() >= target) return std::nullopt;
            continue;
        }
        if (now >= target) return std::nullopt;
        const double wakeAt = anyScheduled ? std::min(nextDue, target) : target;
        wake_.wait_for(lock, clock_.realDelayUntil(wakeAt));
    }
}

void SimMainQueue::runUntil(Date deadline) { runUntil(deadline, nullptr); }

bool SimMainQueue::runUntil(Date deadline, const std::function<bool()>& done) { return runTo(deadline, done); }

void SimMainQueue::runDueWork() { runTo(std::nullopt, nullptr); }

bool SimMainQueue::runTo(std::optional<Date> deadline, const std::function<bool()>& done) {
    {
        std::lock_guard lock(mutex_);
        if (running_) throw std::logic_error("SimMainQueue::runUntil called from work it runs");
        running_ = true;
    }
    struct Running {
        SimMainQueue& queue;
        ~Running() {
            std::lock_guard lock(queue.mutex_);
            queue.running_ = false;
        }
    } running{*this};

    // Without a deadline the target is the present time, which the clock has passed by a hair
    // when it is compared again: that must not end the run before the due work has run.
    const double target = deadline ? clock_.elapsedAt(*deadline) : clock_.elapsed();
    if (deadline && target < clock_.elapsed()) return false;
    for (;;) {
        if (done && done()) return true;
        std::optional<std::function<void()>> work;
        {
            std::unique_lock lock(mutex_);
            work = nextWork(lock, target);
        }
        if (!work) return false;
        if (*work) (*work)();
    }
}

}  // namespace ampwell::platform::sim
