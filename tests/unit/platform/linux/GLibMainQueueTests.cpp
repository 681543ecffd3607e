#include "platform/linux/GLibMainQueue.hpp"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace ampwell::platform::linux_ {
namespace {

class GLibMainQueueTest : public ::testing::Test {
protected:
    void runFor(double seconds) { queue->runUntil(clock.now() + Seconds(seconds)); }

    SystemClock clock;
    std::unique_ptr<GLibMainQueue> queue = std::make_unique<GLibMainQueue>(clock);
};

TEST_F(GLibMainQueueTest, PostedWorkRunsInPostingOrderFromAnyThread) {
    std::vector<int> order;
    queue->post([&] {
        order.push_back(1);
        queue->post([&] { order.push_back(4); });  // after what is already queued
    });
    std::thread other([&] {
        queue->post([&] { order.push_back(2); });
        queue->post([&] { order.push_back(3); });
    });
    other.join();
    EXPECT_TRUE(queue->runUntil(clock.now() + Seconds(2), [&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST_F(GLibMainQueueTest, DelayedWorkWaitsItsTimeAndACancelledItemNeverRuns) {
    int ran = 0;
    auto kept = std::make_shared<WorkItem>([&] { ran += 1; });
    auto cancelled = std::make_shared<WorkItem>([&] { ran += 10; });
    const Date start = clock.now();
    queue->postAfter(Seconds(0.05), kept);
    queue->postAfter(Seconds(0.01), cancelled);
    cancelled->cancel();
    EXPECT_TRUE(queue->runUntil(start + Seconds(2), [&] { return ran != 0; }));
    EXPECT_GE(clock.now() - start, Seconds(0.05));
    runFor(0.05);
    EXPECT_EQ(ran, 1);
}

TEST_F(GLibMainQueueTest, TimersRepeatOrFireOnceAndStopWhenInvalidatedOrDestroyed) {
    int repeating = 0, once = 0, stopped = 0;
    auto repeat = queue->scheduleTimer(Seconds(0.01), true, [&] { ++repeating; });
    auto single = queue->scheduleTimer(Seconds(0.01), false, [&] { ++once; });
    auto invalidated = queue->scheduleTimer(Seconds(0.01), true, [&] { ++stopped; });
    invalidated->invalidate();
    EXPECT_FALSE(invalidated->isValid());
    runFor(0.1);
    EXPECT_GE(repeating, 3);
    EXPECT_EQ(once, 1);
    EXPECT_FALSE(single->isValid());
    EXPECT_TRUE(repeat->isValid());
    EXPECT_EQ(stopped, 0);

    repeat.reset();
    const int before = repeating;
    runFor(0.05);
    EXPECT_EQ(repeating, before);
}

TEST_F(GLibMainQueueTest, ATimerMayInvalidateItselfWhileFiring) {
    int fired = 0;
    std::unique_ptr<Timer> timer;
    timer = queue->scheduleTimer(Seconds(0.005), true, [&] {
        ++fired;
        timer->invalidate();
    });
    runFor(0.05);
    EXPECT_EQ(fired, 1);
}

TEST_F(GLibMainQueueTest, RunUntilReturnsAtOnceForAPastDeadlineAndOtherwiseWaitsForIt) {
    int ran = 0;
    queue->post([&] { ++ran; });
    queue->runUntil(clock.now() - Seconds(1));
    EXPECT_EQ(ran, 0);
    const Date deadline = clock.now() + Seconds(0.05);
    queue->runUntil(deadline);
    EXPECT_GE(clock.now(), deadline);
    EXPECT_EQ(ran, 1);
}

TEST_F(GLibMainQueueTest, DestroyingTheQueueDropsWorkThatHasNotRun) {
    int ran = 0;
    queue->post([&] { ++ran; });
    queue->postAfter(Seconds(0.01), std::make_shared<WorkItem>([&] { ++ran; }));
    queue.reset();
    // Another queue on the same (default) context runs the loop on.
    GLibMainQueue next(clock);
    next.runUntil(clock.now() + Seconds(0.05));
    EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace ampwell::platform::linux_
