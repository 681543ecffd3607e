#include "platform/sim/SimMainQueue.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace ampwell::platform::sim {
namespace {

constexpr double kStart = 1'800'000'000;

class FrozenQueueTest : public ::testing::Test {
protected:
    FrozenQueueTest() : clock(dateFromSecondsSince1970(kStart), 0, kStart - 100), queue(clock) {}

    // Records what ran and at which virtual second.
    std::function<void()> record(std::string label) {
        return [this, label = std::move(label)] { log.push_back(label + "@" + fmtElapsed()); };
    }
    std::string fmtElapsed() const {
        const double elapsed = clock.elapsed();
        return elapsed == static_cast<int>(elapsed) ? std::to_string(static_cast<int>(elapsed)) : std::to_string(elapsed);
    }
    Date at(double elapsed) const { return dateFromSecondsSince1970(kStart + elapsed); }

    SimClock clock;
    SimMainQueue queue;
    std::vector<std::string> log;
};

TEST_F(FrozenQueueTest, TimeJumpsFromOneDueItemToTheNext) {
    auto timer = queue.scheduleTimer(Seconds(4), true, record("timer"));
    queue.postAfter(Seconds(3), std::make_shared<WorkItem>(record("after3")));
    queue.postAt(6, record("timeline6"));
    queue.postAt(4, record("timeline4"));  // same time as the timer, scheduled later: runs after it
    queue.post(record("posted"));
    auto cancelled = std::make_shared<WorkItem>(record("cancelled"));
    queue.postAfter(Seconds(1), cancelled);
    cancelled->cancel();

    queue.runUntil(at(10));
    EXPECT_EQ(log, (std::vector<std::string>{"posted@0", "after3@3", "timer@4", "timeline4@4", "timeline6@6", "timer@8"}));
    EXPECT_EQ(clock.now(), at(10));
    EXPECT_EQ(clock.uptime().count(), 110);

    // Work due exactly at the deadline runs; work after it waits for the next run.
    log.clear();
    queue.runUntil(at(12));
    EXPECT_EQ(log, std::vector<std::string>{"timer@12"});
    timer->invalidate();
    queue.runUntil(at(100));
    EXPECT_EQ(log.size(), 1u);
    EXPECT_EQ(queue.pendingCount(), 0u);
}

TEST_F(FrozenQueueTest, WorkPostedByWorkRunsBeforeTimeMovesOn) {
    queue.postAfter(Seconds(2), std::make_shared<WorkItem>([this] {
        record("outer")();
        queue.post(record("inner"));
        queue.postAfter(Seconds(0), std::make_shared<WorkItem>(record("zeroDelay")));
    }));
    queue.postAt(2.5, record("later"));
    queue.runUntil(at(5));
    EXPECT_EQ(log, (std::vector<std::string>{"outer@2", "inner@2", "zeroDelay@2", "later@2.500000"}));
}

TEST_F(FrozenQueueTest, TimersStopWhenInvalidatedDestroyedOrFiredOnce) {
    auto once = queue.scheduleTimer(Seconds(1), false, record("once"));
    auto destroyed = queue.scheduleTimer(Seconds(1), true, record("destroyed"));
    std::unique_ptr<Timer> selfStopping;
    int fired = 0;
    selfStopping = queue.scheduleTimer(Seconds(1), true, [&] {
        if (++fired == 2) selfStopping->invalidate();
    });
    EXPECT_TRUE(once->isValid());
    destroyed.reset();
    queue.runUntil(at(5));
    EXPECT_EQ(log, std::vector<std::string>{"once@1"});
    EXPECT_FALSE(once->isValid());
    EXPECT_EQ(fired, 2);
}

TEST_F(FrozenQueueTest, ADeadlineInThePastReturnsAtOnce) {
    queue.runUntil(at(5));
    queue.post(record("posted"));
    queue.runUntil(at(4));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(clock.elapsed(), 5);
    queue.runUntil(clock.now());  // a deadline equal to now runs what is runnable now
    EXPECT_EQ(log, std::vector<std::string>{"posted@5"});
}

TEST_F(FrozenQueueTest, RunUntilCannotBeNested) {
    bool threw = false;
    queue.post([&] {
        try {
            queue.runUntil(at(1));
        } catch (const std::logic_error&) {
            threw = true;
        }
    });
    queue.runUntil(at(1));
    EXPECT_TRUE(threw);
    queue.post(record("again"));
    queue.runUntil(at(2));  // the queue still runs after the refused call
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(FrozenQueueTest, AHeldClockWaitsForBackgroundWork) {
    auto hold = queue.holdTime();
    std::thread worker([this, hold = std::move(hold)]() mutable {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        queue.post(record("result"));
        hold.reset();
    });
    queue.postAt(1, record("tick"));
    queue.runUntil(at(10));
    worker.join();
    // The result came back before virtual time moved on to the tick.
    EXPECT_EQ(log, (std::vector<std::string>{"result@0", "tick@1"}));
}

TEST(RunningQueue, ScaledTimeRunsDueWorkAndWakesForPosts) {
    // Ten times real time: five virtual seconds take half a real second.
    SimClock clock(dateFromSecondsSince1970(kStart), 10);
    SimMainQueue queue(clock);
    double scheduledRanAt = -1;
    double postedRanAt = -1;
    queue.postAfter(Seconds(2), std::make_shared<WorkItem>([&] { scheduledRanAt = clock.elapsed(); }));
    std::thread poster([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        queue.post([&] { postedRanAt = clock.elapsed(); });
    });
    const auto realStart = std::chrono::steady_clock::now();
    queue.runUntil(clock.now() + Seconds(5));
    const auto realTaken = std::chrono::steady_clock::now() - realStart;
    poster.join();
    EXPECT_GE(scheduledRanAt, 2);
    EXPECT_GE(postedRanAt, 0);
    EXPECT_LT(postedRanAt, 4);  // woken by the post, not left asleep until the deadline
    EXPECT_GE(clock.elapsed(), 5);
    EXPECT_GE(realTaken, std::chrono::milliseconds(450));
}

// A loop that hosts the queue sleeps until the queue wakes it: every way of adding work, from any
// thread, must wake it, and what it is told must say when the work is due.
TEST_F(FrozenQueueTest, TellsAHostingLoopOfNewWorkAndWhenItIsDue) {
    std::mutex mutex;
    std::condition_variable woken;
    int wakeUps = 0;
    queue.setWakeUp([&] {
        std::lock_guard lock(mutex);
        ++wakeUps;
        woken.notify_all();
    });
    const auto waitForWakeUps = [&](int count) {
        std::unique_lock lock(mutex);
        return woken.wait_for(lock, std::chrono::seconds(10), [&] { return wakeUps >= count; });
    };
    EXPECT_EQ(queue.timeToNextWork(), std::nullopt);
    EXPECT_EQ(queue.clockSpeed(), 0);

    std::thread([this] { queue.postAfter(Seconds(5), std::make_shared<WorkItem>(record("after5"))); }).join();
    ASSERT_TRUE(waitForWakeUps(1));
    EXPECT_EQ(queue.timeToNextWork(), Seconds(5));
    auto timer = queue.scheduleTimer(Seconds(2), true, record("timer"));
    ASSERT_TRUE(waitForWakeUps(2));
    EXPECT_EQ(queue.timeToNextWork(), Seconds(2));
    std::thread([this] { queue.post(record("posted")); }).join();
    ASSERT_TRUE(waitForWakeUps(3));
    EXPECT_EQ(queue.timeToNextWork(), Seconds(0));

    // A repeating timer schedules its next firing when it fires: that wakes the loop too.
    queue.runUntil(at(2));
    EXPECT_GE(wakeUps, 4);
    EXPECT_EQ(queue.timeToNextWork(), Seconds(2));
    const int heard = wakeUps;
    queue.setWakeUp({});
    queue.post(record("unheard"));
    EXPECT_EQ(wakeUps, heard);
    timer->invalidate();
}

// A hosting loop's turn must not sleep inside the queue: it runs what is due and returns.
TEST(RunningQueue, RunDueWorkRunsWhatIsDueWithoutWaiting) {
    SimClock clock(dateFromSecondsSince1970(kStart), 1);
    SimMainQueue queue(clock);
    std::vector<std::string> log;
    queue.postAfter(Seconds(0), std::make_shared<WorkItem>([&] { log.push_back("due"); }));
    queue.postAfter(Seconds(30), std::make_shared<WorkItem>([&] { log.push_back("later"); }));
    queue.post([&] { log.push_back("posted"); });
    const auto realStart = std::chrono::steady_clock::now();
    queue.runDueWork();
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(5));
    EXPECT_EQ(log, (std::vector<std::string>{"posted", "due"}));
    EXPECT_GT(queue.timeToNextWork().value_or(Seconds(0)), Seconds(29));
}

TEST(SimClockTest, UptimeCountsFromBootOrStart) {
    SimClock withBoot(dateFromSecondsSince1970(kStart), 0, kStart - 3600);
    EXPECT_EQ(withBoot.uptime().count(), 3600);
    withBoot.advanceTo(2.5);
    withBoot.advanceTo(1);  // never backwards
    EXPECT_EQ(withBoot.uptime().count(), 3602.5);
    EXPECT_EQ(withBoot.now(), dateFromSecondsSince1970(kStart + 2.5));

    SimClock noBoot(dateFromSecondsSince1970(kStart), 0);
    EXPECT_EQ(noBoot.uptime().count(), 0);

    const auto real = SimClock::real();
    const double difference = secondsSince1970(real.now()) - secondsSince1970(SystemClock().now());
    EXPECT_LT(std::abs(difference), 1.0);
    EXPECT_FALSE(real.isFrozen());
}

}  // namespace
}  // namespace ampwell::platform::sim
