#include "daemon/RefreshHelper.hpp"

#include "contract/PowerRefreshService.hpp"
#include "platform/sim/SimMainQueue.hpp"
#include "tests/unit/daemon/FakeBatteryManager.hpp"

#include <gtest/gtest.h>

#include <future>

namespace ampwell {
namespace {

using platform::dateFromSecondsSince1970;
using PowerRefreshService::kIOReturnBusy;
using PowerRefreshService::kIOReturnNotFound;

constexpr double kStart = 1'800'000'000;

class RefreshHelperTest : public ::testing::Test {
protected:
    RefreshHelperTest()
        : clock(dateFromSecondsSince1970(kStart), 0, kStart - 1000),
          queue(clock),
          helper(battery, queue, clock, 501, [this](int status) { exits.push_back({clock.elapsed(), status}); }) {}

    // One request, answered on the operation queue; waits for the answer.
    std::uint32_t ask() {
        std::promise<std::uint32_t> answer;
        helper.requestRefresh([&answer](std::uint32_t status) { answer.set_value(status); });
        const auto status = answer.get_future().get();
        queue.runUntil(clock.now());  // the postponed exit it may have asked for
        return status;
    }
    void runTo(double elapsed) { queue.runUntil(dateFromSecondsSince1970(kStart + elapsed)); }

    test::FakeBatteryManager battery;
    platform::sim::SimClock clock;
    platform::sim::SimMainQueue queue;
    std::vector<std::pair<double, int>> exits;
    RefreshHelper helper;
};

TEST_F(RefreshHelperTest, ServesOnlyTheAllowedUser) {
    EXPECT_TRUE(helper.shouldAcceptNewConnection({501, 10}));
    EXPECT_FALSE(helper.shouldAcceptNewConnection({0, 10}));
    EXPECT_FALSE(helper.shouldAcceptNewConnection({502, 10}));
}

TEST_F(RefreshHelperTest, RequestsCloserThanTwoSecondsOfUptimeAreBusyWithoutTouchingTheBatteryManager) {
    EXPECT_EQ(ask(), 0u);
    runTo(1.9);
    EXPECT_EQ(ask(), kIOReturnBusy);
    EXPECT_EQ(battery.commands(), 1);
    EXPECT_EQ(battery.lookups(), 1) << "a busy request looked the battery manager up";
    runTo(2.0);
    EXPECT_EQ(ask(), 0u);
    EXPECT_EQ(battery.commands(), 2);
}

TEST_F(RefreshHelperTest, IdleExitComesTenSecondsAfterLaunchOrTheLastAcceptedRequestOnly) {
    helper.postponeExit();  // at launch
    runTo(9.99);
    EXPECT_TRUE(exits.empty());
    EXPECT_EQ(ask(), 0u);  // at 9.99: accepted, life extended to 19.99
    runTo(11);
    EXPECT_EQ(ask(), kIOReturnBusy);  // must not extend life
    runTo(19.98);
    EXPECT_TRUE(exits.empty());
    runTo(25);
    ASSERT_EQ(exits.size(), 1u);
    EXPECT_NEAR(exits[0].first, 19.99, 1e-6);
    EXPECT_EQ(exits[0].second, 0);
}

TEST_F(RefreshHelperTest, BatteryManagerCodesAreRepliedUnchangedAndEverythingIsClosedInOrder) {
    battery.serviceExists = false;
    EXPECT_EQ(ask(), kIOReturnNotFound);
    runTo(2);
    battery.serviceExists = true;
    battery.openCode = 0xE00002C1;
    EXPECT_EQ(ask(), 0xE00002C1u);
    EXPECT_EQ(battery.releases(), 1) << "the service was not released after a failed open";
    runTo(4);
    battery.openCode = 0;
    battery.commandCode = 0xE00002BCu;
    EXPECT_EQ(ask(), 0xE00002BCu);
    EXPECT_EQ(battery.lastCall(), (std::pair<std::uint32_t, std::vector<std::uint64_t>>{4, {4}}));
    EXPECT_EQ(battery.events().back(), "release service");
    EXPECT_EQ(battery.events()[battery.events().size() - 2], "close connection");
}

}  // namespace
}  // namespace ampwell
