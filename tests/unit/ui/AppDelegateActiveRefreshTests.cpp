#include "tests/unit/support/AppHarness.hpp"

#include <gtest/gtest.h>

namespace ampwell::test {
namespace {

std::vector<double> requestsSinceStart(AppHarness& harness) {
    std::vector<double> times;
    for (const double time : harness.refreshService().requestTimes) times.push_back(time - harness.start());
    return times;
}

TEST(AppDelegateActiveRefresh, APortThatStaysUnreadGetsThreeRequestsSpacedByTheRetryDelays) {
    AppHarness harness({.iPadMilliwatts = std::nullopt, .refreshInstalled = true});
    harness.launch();
    harness.runUntil(12);
    const auto requests = requestsSinceStart(harness);
    ASSERT_EQ(requests.size(), 3u);
    const double reply = harness.refreshService().replyDelay;
    EXPECT_NEAR(requests[0], 0.2, 1e-6);
    // Each retry follows the previous answer by the 0.25 s re-read plus 2 s, then 3 s.
    EXPECT_NEAR(requests[1] - (requests[0] + reply), 2.25, 1e-6);
    EXPECT_NEAR(requests[2] - (requests[1] + reply), 3.25, 1e-6);
    EXPECT_FALSE(harness.app().activeRefreshReason().has_value());

    std::vector<int> attempts;
    for (const auto& record : harness.trace())
        if (record["trigger"] == "system-request") {
            attempts.push_back(record["attempt"].get<int>());
            EXPECT_EQ(record["reason"], "connection");
            EXPECT_EQ(record["result"], 0);
        }
    EXPECT_EQ(attempts, (std::vector<int>{1, 2, 3}));
}

TEST(AppDelegateActiveRefresh, APortThatReadsAtOnceNeedsOneRequest) {
    AppHarness harness({.refreshInstalled = true});
    harness.launch();
    harness.runUntil(12);
    EXPECT_EQ(requestsSinceStart(harness).size(), 1u);
}

TEST(AppDelegateActiveRefresh, ARequestWithoutAnAnswerIsNotRetriedAndTracesNull) {
    AppHarness harness({.iPadMilliwatts = std::nullopt, .refreshInstalled = true});
    harness.refreshService().status = std::nullopt;
    harness.launch();
    harness.runUntil(12);
    EXPECT_EQ(requestsSinceStart(harness).size(), 1u);
    bool traced = false;
    for (const auto& record : harness.trace())
        if (record["trigger"] == "system-request") {
            traced = true;
            EXPECT_TRUE(record["result"].is_null());
        }
    EXPECT_TRUE(traced);
}

TEST(AppDelegateActiveRefresh, NothingIsRequestedWhenTheComponentIsMissingOrSwitchedOff) {
    AppHarness missing({.iPadMilliwatts = std::nullopt});
    missing.launch();
    missing.runUntil(12);
    EXPECT_TRUE(missing.refreshService().requestTimes.empty());

    AppHarness off({.iPadMilliwatts = std::nullopt, .defaults = R"({"activeSystemPowerSampling": false})",
                    .refreshInstalled = true});
    off.launch();
    off.runUntil(5);
    EXPECT_TRUE(off.refreshService().requestTimes.empty());
    // Switching it on starts one series for every connected port.
    off.app().toggleActiveSampling();
    off.runUntil(5.3);
    EXPECT_EQ(requestsSinceStart(off).size(), 1u);
    EXPECT_EQ(off.app().activeRefreshReason(), "connection");
}

TEST(AppDelegateActiveRefresh, MenuTicksSkipWhileARequestIsInFlightAndStopWhenTheMenuCloses) {
    AppHarness harness({.refreshInstalled = true});
    harness.refreshService().replyDelay = 2.5;
    harness.launch();
    harness.runUntil(40);
    const std::size_t before = harness.refreshService().requestTimes.size();
    harness.app().menu()->open();
    harness.runUntil(52);
    const auto requests = requestsSinceStart(harness);
    std::size_t ticks = 0;
    for (const auto& [time, trigger] : harness.refreshTriggers())
        if (trigger == "menu-timer" && time > 40) ++ticks;
    ASSERT_GT(requests.size(), before + 1);
    EXPECT_LT(requests.size() - before, ticks + 1);
    for (std::size_t i = before + 1; i < requests.size(); ++i) EXPECT_GE(requests[i] - requests[i - 1], 2.5 - 1e-6);

    harness.app().menu()->close();
    EXPECT_FALSE(harness.app().activeRefreshReason().has_value());
    const std::size_t afterClose = harness.refreshService().requestTimes.size();
    harness.runUntil(58);
    EXPECT_EQ(harness.refreshService().requestTimes.size(), afterClose);
}

TEST(AppDelegateActiveRefresh, AStepWhoseDevicesLeftDoesNothing) {
    nlohmann::json timeline = nlohmann::json::array({{{"at", 12.0}, {"remove", 4294968100}}});
    AppHarness harness({.timeline = timeline.dump(), .refreshInstalled = true});
    harness.launch();
    harness.runUntil(13);
    const std::size_t before = harness.refreshService().requestTimes.size();
    harness.app().scheduleActiveRefresh({1}, harness.app().activeRefreshGeneration(), "manual", 0, 0);
    harness.runUntil(20);
    EXPECT_EQ(harness.refreshService().requestTimes.size(), before);
}

}  // namespace
}  // namespace ampwell::test
