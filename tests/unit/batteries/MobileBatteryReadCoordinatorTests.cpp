#include "app/batteries/MobileBatteryReadCoordinator.hpp"

#include "platform/sim/SimRegistry.hpp"
#include "tests/unit/support/ManualClock.hpp"
#include "tests/unit/support/MockMobileDeviceService.hpp"
#include "tests/unit/support/SimulatedIPad.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <future>
#include <optional>
#include <stdexcept>

namespace ampwell {
namespace {

using platform::PropertyValue;
using ::testing::_;
using ::testing::NiceMock;
using ::testing::Return;

constexpr platform::Seconds kTimeout{4.0};

// What one caller got, and when (seconds on the test clock) it got it.
struct Answer {
    std::vector<DeviceBattery> batteries;
    double at = 0;
};

// One iPad on USB (session 7 in the registry) behind a mocked framework whose connection takes
// as long as the test says, on the test's clock.
class CoordinatorTest : public ::testing::Test {
protected:
    CoordinatorTest() {
        registry.addEntry(platform::sim::SimEntrySpec{test::kIPadEntryID,
                                                      "IOUSBHostDevice",
                                                      {},
                                                      {{platform::kServicePlane, std::nullopt}},
                                                      {{"USB Serial Number", PropertyValue::string(test::kIPadSerial)},
                                                       {"sessionID", PropertyValue::wholeNumber(7)}},
                                                      false});
        ON_CALL(service, load()).WillByDefault(Return(platform::MobileDeviceService::State::loaded));
        ON_CALL(service, createDeviceList())
            .WillByDefault(Return(std::vector<std::shared_ptr<platform::MobileDevice>>{device}));
        ON_CALL(service, copyDeviceUSBSerialNumber(_)).WillByDefault(Return(test::kIPadSerial));
        ON_CALL(service, isPaired(_)).WillByDefault(Return(1));
        ON_CALL(service, copyValue(_, _, _)).WillByDefault(Return(std::nullopt));
        ON_CALL(service,
                copyValue(_, std::optional<std::string>(MobileDeviceAPI::kBatteryDomain), std::optional<std::string>()))
            .WillByDefault(Return(test::iPadBatteryDomain(64, true)));
        ON_CALL(service, connect(_)).WillByDefault([this](platform::MobileDevice&) {
            double delay = 0;
            {
                std::lock_guard lock(delaysMutex);
                if (!delays.empty()) {
                    delay = delays.front();
                    delays.pop_front();
                }
            }
            if (delay > 0) clock.sleepUntil(clock.now() + platform::Seconds(delay));
            return 0;
        });
    }

    // The next reads' connection times, in seconds; reads beyond the list connect at once.
    void connectionTimes(std::initializer_list<double> seconds) {
        std::lock_guard lock(delaysMutex);
        delays.assign(seconds);
    }

    std::future<Answer> ask() {
        return std::async(std::launch::async, [this] {
            auto batteries = coordinator->request(kTimeout);
            return Answer{std::move(batteries), clock.elapsed()};
        });
    }

    test::ManualClock clock;
    platform::sim::SimRegistry registry;
    std::shared_ptr<test::MockDevice> device = std::make_shared<test::MockDevice>("iPad");
    NiceMock<test::MockMobileDeviceService> service;
    std::mutex delaysMutex;
    std::deque<double> delays;
    // Optional so that a test can watch it shut down.
    std::optional<MobileBatteryReadCoordinator> coordinator{std::in_place, service, USBBatterySessions(registry), clock};
};

// What `future` gives, waited for a bounded real time. A thread that never finishes cannot be
// abandoned safely, so the test program ends at once with the reason instead of hanging until an
// outside limit.
template <typename T>
T awaited(std::future<T>&& future) {
    if (future.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        std::fprintf(stderr, "a caller or the shutdown did not finish within 10 s\n");
        std::abort();
    }
    return future.get();
}

TEST_F(CoordinatorTest, CallersArrivingTogetherShareOneRead) {
    connectionTimes({1.0});
    EXPECT_CALL(service, createDeviceList()).Times(1);
    auto first = ask();
    clock.awaitWaiters(1.0, 1);  // the worker is inside the slow connection
    auto second = ask();
    clock.awaitWaiters(4.0, 2);  // both callers wait for the same read
    clock.advanceTo(1.0);
    const Answer a = awaited(std::move(first));
    const Answer b = awaited(std::move(second));
    ASSERT_EQ(a.batteries.size(), 1u);
    ASSERT_EQ(b.batteries.size(), 1u);
    EXPECT_EQ(a.batteries[0].percent, 64);
    EXPECT_EQ(a.batteries[0].connectionID, "7");
    EXPECT_EQ(b.batteries[0].connectionID, "7");
    EXPECT_EQ(a.at, 1.0);
    EXPECT_EQ(b.at, 1.0);
}

TEST_F(CoordinatorTest, ACallerWhoGaveUpLeavesTheReadToTheNextCaller) {
    connectionTimes({6.0});
    EXPECT_CALL(service, createDeviceList()).Times(2);
    auto first = ask();
    clock.awaitWaiters(6.0, 1);
    clock.awaitWaiters(4.0, 1);
    clock.advanceTo(4.0);
    const Answer gaveUp = awaited(std::move(first));
    EXPECT_TRUE(gaveUp.batteries.empty());
    EXPECT_EQ(gaveUp.at, 4.0);

    // At 5 s the read still runs: the caller joins it instead of queuing another.
    clock.advanceTo(5.0);
    auto late = ask();
    clock.awaitWaiters(9.0, 1);
    clock.advanceTo(6.0);
    const Answer joined = awaited(std::move(late));
    ASSERT_EQ(joined.batteries.size(), 1u);
    EXPECT_EQ(joined.batteries[0].sampledAt, clock.now());
    EXPECT_EQ(joined.at, 6.0);

    // Once it has finished, the next caller starts a fresh read.
    const Answer next = awaited(ask());
    ASSERT_EQ(next.batteries.size(), 1u);
    EXPECT_EQ(next.at, 6.0);
}

TEST_F(CoordinatorTest, ACallerWhoGivesUpGetsNothingRatherThanAnEarlierRead) {
    ASSERT_EQ(awaited(ask()).batteries.size(), 1u);
    clock.advanceTo(1.0);
    connectionTimes({6.0});
    auto late = ask();
    clock.awaitWaiters(7.0, 1);  // the read is inside its slow connection
    clock.awaitWaiters(5.0, 1);
    clock.advanceTo(5.0);
    EXPECT_TRUE(awaited(std::move(late)).batteries.empty());
    clock.advanceTo(7.0);  // lets the slow read end
}

TEST_F(CoordinatorTest, ShuttingDownEndsEvenWhenTheClockJumpedPastItsPatience) {
    connectionTimes({6.0});
    auto gaveUp = ask();
    clock.awaitWaiters(6.0, 1);
    clock.awaitWaiters(4.0, 1);
    clock.advanceTo(4.0);
    EXPECT_TRUE(awaited(std::move(gaveUp)).batteries.empty());
    // The read still sleeps until 6 s when the coordinator is asked to end.
    auto ended = std::async(std::launch::async, [this] { coordinator.reset(); });
    clock.awaitWaiters(4.0 + 1e12, 1);
    clock.advanceTo(2e12);
    awaited(std::move(ended));
}

TEST_F(CoordinatorTest, AnUnavailableFrameworkIsTriedOnceAndEveryReadIsEmpty) {
    EXPECT_CALL(service, load()).WillOnce(Return(platform::MobileDeviceService::State::unavailable));
    EXPECT_CALL(service, createDeviceList()).Times(0);
    EXPECT_TRUE(awaited(ask()).batteries.empty());
    EXPECT_TRUE(awaited(ask()).batteries.empty());
}

TEST_F(CoordinatorTest, ABatteryWhoseDeviceWasRepluggedDuringTheReadIsDropped) {
    EXPECT_CALL(service, connect(_))
        .WillOnce([this](platform::MobileDevice&) {
            registry.setProperties(test::kIPadEntryID, {{"sessionID", PropertyValue::wholeNumber(8)}});
            return 0;
        })
        .WillOnce(Return(0));
    EXPECT_TRUE(awaited(ask()).batteries.empty());
    const Answer settled = awaited(ask());
    ASSERT_EQ(settled.batteries.size(), 1u);
    EXPECT_EQ(settled.batteries[0].connectionID, "8");
}

TEST_F(CoordinatorTest, AReadThatFailsUnexpectedlyDoesNotStayInFlight) {
    EXPECT_CALL(service, createDeviceList())
        .WillOnce([]() -> std::optional<std::vector<std::shared_ptr<platform::MobileDevice>>> {
            throw std::runtime_error("framework fault");
        })
        .WillOnce(Return(std::vector<std::shared_ptr<platform::MobileDevice>>{device}));
    EXPECT_TRUE(awaited(ask()).batteries.empty());
    EXPECT_EQ(awaited(ask()).batteries.size(), 1u);
}

}  // namespace
}  // namespace ampwell
