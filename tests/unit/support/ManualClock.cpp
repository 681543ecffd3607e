#include "tests/unit/support/ManualClock.hpp"

#include <gtest/gtest.h>

namespace ampwell::test {

namespace {
// How often a waiting thread looks at the clock again. Only the latency of a test depends on it,
// never its outcome: every decision is taken on the clock's own time.
constexpr std::chrono::milliseconds kPollInterval{1};
}  // namespace

ManualClock::ManualClock(platform::Date start) : start_(start), now_(start) {}

platform::Date ManualClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

platform::Seconds ManualClock::uptime() const { return now() - start_; }

double ManualClock::elapsed() const { return uptime().count(); }

void ManualClock::advanceTo(double elapsedSeconds) {
    std::lock_guard lock(mutex_);
    const auto target = start_ + platform::Seconds(elapsedSeconds);
    if (target > now_) now_ = target;
}

void ManualClock::noteWaiter(platform::Date deadline) const {
    {
        std::lock_guard lock(mutex_);
        waiters_[(deadline - start_).count()].insert(std::this_thread::get_id());
    }
    changed_.notify_all();
}

void ManualClock::sleepUntil(platform::Date deadline) const {
    noteWaiter(deadline);
    while (now() < deadline) std::this_thread::sleep_for(kPollInterval);
}

bool ManualClock::waitUntil(std::condition_variable& condition, std::unique_lock<std::mutex>& lock,
                            platform::Date deadline) const {
    noteWaiter(deadline);
    if (now() >= deadline) return false;
    condition.wait_for(lock, kPollInterval);
    return now() < deadline;
}

void ManualClock::awaitWaiters(double elapsedSeconds, std::size_t count) const {
    std::unique_lock lock(mutex_);
    const bool seen = changed_.wait_for(lock, std::chrono::seconds(10), [&] {
        auto found = waiters_.find(elapsedSeconds);
        return found != waiters_.end() && found->second.size() >= count;
    });
    ASSERT_TRUE(seen) << count << " threads never waited for " << elapsedSeconds << " s";
}

}  // namespace ampwell::test
