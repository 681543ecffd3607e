#include "platform/base/SerialQueue.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace ampwell::platform {
namespace {

// Counts the work the queue reports, to check that a clock hears of every job.
class CountingClock final : public Clock, public WorkObserver {
public:
    Date now() const override { return real.now(); }
    Seconds uptime() const override { return real.uptime(); }
    void workQueued() const override { ++queued; }
    void workStarted() const override { ++started; }
    void workEnded() const override { ++ended; }
    SystemClock real;
    mutable std::atomic<int> queued{0}, started{0}, ended{0};
};

TEST(SerialQueue, RunsJobsOneAtATimeInOrderOnItsOwnThread) {
    CountingClock clock;
    std::vector<int> order;
    std::atomic<int> running{0};
    bool overlapped = false;
    std::thread::id worker;
    {
        SerialQueue queue("local.ampwell.test-queue", clock);
        EXPECT_EQ(queue.label(), "local.ampwell.test-queue");
        for (int i = 0; i < 50; ++i) {
            queue.async([&, i] {
                if (running.fetch_add(1) != 0) overlapped = true;
                order.push_back(i);
                worker = std::this_thread::get_id();
                running.fetch_sub(1);
            });
        }
    }  // the destructor runs what is still queued
    ASSERT_EQ(order.size(), 50u);
    for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    EXPECT_FALSE(overlapped);
    EXPECT_NE(worker, std::this_thread::get_id());
    EXPECT_EQ(clock.queued.load(), 50);
    EXPECT_EQ(clock.started.load(), 50);
    EXPECT_EQ(clock.ended.load(), 50);
}

TEST(ClockWaits, RealTimeWaitsEndAtTheDeadlineAndSurviveFarDeadlines) {
    SystemClock clock;
    std::mutex mutex;
    std::condition_variable condition;
    std::unique_lock lock(mutex);
    EXPECT_FALSE(clock.waitUntil(condition, lock, clock.now() - Seconds(1)));
    const Date deadline = clock.now() + Seconds(0.02);
    while (clock.waitUntil(condition, lock, deadline)) {
    }
    EXPECT_GE(clock.now(), deadline);
    clock.sleepUntil(clock.now() + Seconds(0.005));

    // A deadline centuries away must not overflow the real wait; a notification ends it.
    bool notified = false;
    std::thread notifier([&] {
        std::lock_guard guard(mutex);
        notified = true;
        condition.notify_all();
    });
    while (!notified) EXPECT_TRUE(clock.waitUntil(condition, lock, clock.now() + Seconds(1e12)));
    lock.unlock();
    notifier.join();
}

}  // namespace
}  // namespace ampwell::platform
