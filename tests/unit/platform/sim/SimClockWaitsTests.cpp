#include "platform/base/SerialQueue.hpp"
#include "platform/sim/SimClock.hpp"
#include "platform/sim/SimMainQueue.hpp"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

namespace ampwell::platform::sim {
namespace {

const Date kStart = dateFromSecondsSince1970(1'800'000'000);

TEST(SimClockWaits, TheMainLoopLetsASleepingJobRunAtItsTime) {
    SimClock clock(kStart, 0);
    SimMainQueue queue(clock);
    std::vector<std::string> events;  // touched on the main thread only
    queue.postAt(1, [&] { events.push_back("1 timeline"); });
    queue.postAt(3, [&] { events.push_back("3 timeline"); });
    {
        SerialQueue worker("local.ampwell.test-worker", clock);
        worker.async([&] {
            clock.sleepUntil(clock.now() + Seconds(2));
            const double at = clock.elapsed();
            queue.post([&events, at] { events.push_back(std::to_string(static_cast<int>(at)) + " job"); });
        });
        queue.runUntil(kStart + Seconds(10));
    }
    EXPECT_EQ(events, (std::vector<std::string>{"1 timeline", "2 job", "3 timeline"}));
    EXPECT_EQ(clock.elapsed(), 10.0);
}

TEST(SimClockWaits, AnAnswerGivenAtAnInstantIsSeenAtThatInstant) {
    // One job waits up to 4 s for another that answers at once and ends. Between the answer and
    // the waiter waking, nobody is busy; time must still not jump to the next timeline event.
    for (int run = 0; run < 200; ++run) {
        SimClock clock(kStart, 0);
        SimMainQueue queue(clock);
        queue.postAt(1, [] {});
        double answeredAt = -1;
        {
            SerialQueue waiter("local.ampwell.test-waiter", clock);
            SerialQueue answerer("local.ampwell.test-answerer", clock);
            waiter.async([&] {
                std::mutex mutex;
                std::condition_variable answered;
                bool done = false;
                answerer.async([&] {
                    std::lock_guard lock(mutex);
                    done = true;
                    answered.notify_all();
                });
                std::unique_lock lock(mutex);
                const Date deadline = clock.now() + Seconds(4);
                while (!done && clock.waitUntil(answered, lock, deadline)) {
                }
                answeredAt = done ? clock.elapsed() : -1;
            });
            queue.runUntil(kStart + Seconds(2));
        }
        ASSERT_EQ(answeredAt, 0.0) << "run " << run;
    }
}

TEST(SimClockWaits, AWaitWithNothingBusyJumpsToItsDeadline) {
    SimClock clock(kStart, 0);
    std::mutex mutex;
    std::condition_variable condition;
    std::unique_lock lock(mutex);
    EXPECT_FALSE(clock.waitUntil(condition, lock, kStart + Seconds(4)));
    EXPECT_EQ(clock.elapsed(), 4.0);
    clock.sleepUntil(kStart + Seconds(4.5));
    EXPECT_EQ(clock.elapsed(), 4.5);
}

TEST(SimClockWaits, AJobWaitingForAnotherThreadIsWokenByTime) {
    SimClock clock(kStart, 0);
    double wokeAt = -1;
    bool timedOut = false;
    {
        SerialQueue worker("local.ampwell.test-worker", clock);
        worker.async([&] {
            std::mutex mutex;
            std::condition_variable neverNotified;
            std::unique_lock lock(mutex);
            const Date deadline = clock.now() + Seconds(3);
            while (clock.waitUntil(neverNotified, lock, deadline)) {
            }
            timedOut = true;
            wokeAt = clock.elapsed();
        });
        clock.sleepUntil(kStart + Seconds(10));
    }
    EXPECT_TRUE(timedOut);
    EXPECT_EQ(wokeAt, 3.0);
    EXPECT_EQ(clock.elapsed(), 10.0);
}

TEST(SimClockWaits, AFasterClockWaitsThatMuchLess) {
    SimClock clock(kStart, 100);
    const auto realStart = std::chrono::steady_clock::now();
    clock.sleepUntil(clock.now() + Seconds(1));  // 10 ms of real time
    std::mutex mutex;
    std::condition_variable condition;
    std::unique_lock lock(mutex);
    const Date deadline = clock.now() + Seconds(1);
    while (clock.waitUntil(condition, lock, deadline)) {
    }
    EXPECT_GE(clock.now(), deadline);
    EXPECT_GE(clock.elapsed(), 2.0);
    EXPECT_LT(std::chrono::steady_clock::now() - realStart, std::chrono::seconds(1));
}

}  // namespace
}  // namespace ampwell::platform::sim
