#include "tests/unit/support/AppHarness.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace ampwell::test {
namespace {

// The iPad of the desk leaves at `at` and comes back on a new USB session 50 ms later.
std::string replugAt(double at) {
    nlohmann::json timeline = nlohmann::json::array({
        {{"at", at}, {"remove", 4294968100}},
        {{"at", at + 0.05},
         {"add", {{"id", 4294968101}, {"class", "IOUSBHostDevice"}, {"conforms", {"IOUSBDevice"}},
                  {"planes", {{"IOService", nullptr}, {"IOPort", 4294968001}}},
                  {"properties", {{"USB Product Name", "iPad"}, {"USB Serial Number", "00008103-001A"},
                                  {"sessionID", 7654321}, {"idVendor", 1452}}}}}},
    });
    return timeline.dump();
}

TEST(AppDelegateEngine, LaunchWithNothingAttachedKeepsTheItemHiddenAndReadsNoBattery) {
    AppHarness harness({.iPad = false});
    harness.launch();
    harness.runUntil(1);
    EXPECT_FALSE(harness.app().statusItem()->isVisible());
    EXPECT_EQ(harness.batteryReads, 0);
    const auto trace = harness.trace();
    ASSERT_FALSE(trace.empty());
    const auto& launch = trace.front();
    EXPECT_EQ(launch["trigger"], "launch");
    EXPECT_EQ(launch["devices"], 0);
    EXPECT_TRUE(launch["watts"].is_null());
    EXPECT_EQ(launch["ports"], nlohmann::json::array());
    EXPECT_EQ(launch["visible"], false);
    EXPECT_EQ(launch["interval"], 30.0);
    EXPECT_EQ(harness.app().scheduledPollingInterval(), 30.0);
}

TEST(AppDelegateEngine, LaunchWithAnIPadShowsItAndMergesTheBatteryOfItsSession) {
    AppHarness harness;
    harness.launch();
    EXPECT_TRUE(harness.app().statusItem()->isVisible());
    harness.runUntil(2);
    EXPECT_EQ(harness.batteryReads, 1);
    ASSERT_EQ(harness.app().batteries().size(), 1u);
    const auto triggers = harness.refreshTriggers();
    const auto battery = std::find_if(triggers.begin(), triggers.end(), [](const auto& t) { return t.second == "battery"; });
    ASSERT_NE(battery, triggers.end());
    EXPECT_DOUBLE_EQ(battery->first, 1.0);  // the read takes a simulated second
    // The port card shows the merged battery.
    const PortReading port = harness.app().snapshot().connectedPorts().front();
    EXPECT_EQ(harness.app().batteryDescription(port), "80% · 未充电");
}

TEST(AppDelegateEngine, APortListedTwiceKeepsItsOneRowAcrossRefreshes) {
    AppHarness harness({.iPadPortListings = 2});
    harness.launch();
    harness.runUntil(2);
    int menuChanges = 0;
    harness.app().menu()->onChanged = [&menuChanges] { ++menuChanges; };
    harness.app().refresh(false, false, std::nullopt, "timer");
    harness.app().refresh(false, false, std::nullopt, "timer");
    EXPECT_EQ(menuChanges, 0);
    EXPECT_EQ(harness.app().snapshot().connectedPorts().size(), 2u);
}

TEST(AppDelegateEngine, ABurstOfPlugEventsGivesOneRefreshTwoHundredMillisecondsAfterTheLast) {
    nlohmann::json timeline = nlohmann::json::parse(replugAt(5.0));
    AppHarness harness({.timeline = timeline.dump()});
    harness.launch();
    harness.runUntil(6);
    std::vector<double> usbEvents;
    for (const auto& [time, trigger] : harness.refreshTriggers())
        if (trigger == "usb-event") usbEvents.push_back(time);
    ASSERT_EQ(usbEvents.size(), 1u);
    EXPECT_NEAR(usbEvents.front(), 5.25, 1e-6);
}

TEST(AppDelegateEngine, PowerMessagesAreCoalescedAndIgnoredWithNothingConnected) {
    nlohmann::json timeline = nlohmann::json::array({
        {{"at", 3.0}, {"message", {{"id", 4294967800}, {"type", "0xE0024100"}}}},
        {{"at", 3.05}, {"message", {{"id", 4294967800}, {"type", "0xE0024100"}}}},
    });
    {
        AppHarness harness({.timeline = timeline.dump()});
        harness.launch();
        harness.runUntil(4);
        std::vector<double> powerEvents;
        for (const auto& [time, trigger] : harness.refreshTriggers())
            if (trigger == "power-event") powerEvents.push_back(time);
        ASSERT_EQ(powerEvents.size(), 1u);
        EXPECT_NEAR(powerEvents.front(), 3.15, 1e-6);
    }
    AppHarness empty({.iPad = false, .timeline = timeline.dump()});
    empty.launch();
    empty.runUntil(4);
    for (const auto& [time, trigger] : empty.refreshTriggers()) EXPECT_NE(trigger, "power-event");
}

TEST(AppDelegateEngine, ABatteryReadFromBeforeAReplugIsDropped) {
    AppHarness harness({.timeline = replugAt(1.0)});
    harness.batteryReadSeconds = 2.0;  // the launch read ends after the replug
    harness.launch();
    harness.runUntil(2.1);
    // The read started at launch came back under the old connections: nothing was kept.
    EXPECT_TRUE(harness.app().batteries().empty());
    EXPECT_TRUE(harness.app().snapshot().batteries.empty());
}

TEST(AppDelegateEngine, FreshBatteryAcceptsReadingsFromFiveSecondsAheadToSeventyFiveBack) {
    // Every read hands back the same reading, stamped at `stamp` seconds after the start.
    auto readingsStampedAt = [](AppHarness& harness, double stamp) {
        harness.batteryAnswer = [&harness, stamp, base = harness.batteryAnswer] {
            auto list = base();
            list.front().sampledAt = platform::dateFromSecondsSince1970(harness.start() + stamp);
            return list;
        };
    };
    AppHarness old;
    readingsStampedAt(old, 1.0);
    old.launch();
    old.runUntil(1.5);
    ASSERT_EQ(old.app().batteries().size(), 1u);
    const ConnectedDevice device = old.app().snapshot().connectedPorts().front().connections.front();
    old.runUntil(76.0);
    EXPECT_TRUE(old.app().freshBattery(device).has_value());  // 75 s old
    old.runUntil(81.0);
    EXPECT_FALSE(old.app().freshBattery(device).has_value());  // 80 s old

    AppHarness ahead;
    readingsStampedAt(ahead, 7.5);
    ahead.launch();
    ahead.runUntil(1.5);
    EXPECT_FALSE(ahead.app().freshBattery(device).has_value());  // 6 s ahead
    ahead.runUntil(2.5);
    EXPECT_TRUE(ahead.app().freshBattery(device).has_value());  // 5 s ahead
}

TEST(AppDelegateEngine, QuittingWhileAPlugRefreshIsScheduledRunsNoRefreshAfterwards) {
    AppHarness harness({.timeline = replugAt(5.0)});
    harness.launch();
    harness.runUntil(5.1);  // the events are in, the refresh is 200 ms away
    harness.app().applicationWillTerminate();
    const auto before = harness.refreshTriggers().size();
    harness.runUntil(60);
    EXPECT_EQ(harness.refreshTriggers().size(), before);
}

TEST(AppDelegateEngine, TheOpenMenuSamplesEveryTwoSecondsWithAOneShotTimer) {
    AppHarness harness({.refreshInstalled = true});
    harness.launch();
    harness.runUntil(40);  // past the fast window
    harness.app().menu()->open();
    EXPECT_TRUE(harness.app().timerIsMenuSampler());
    EXPECT_EQ(harness.app().scheduledPollingInterval(), 2.0);
    harness.runUntil(46.5);
    std::vector<double> ticks;
    for (const auto& [time, trigger] : harness.refreshTriggers())
        if (trigger == "menu-timer") ticks.push_back(time);
    ASSERT_GE(ticks.size(), 3u);
    for (std::size_t i = 1; i < ticks.size(); ++i) EXPECT_NEAR(ticks[i] - ticks[i - 1], 2.0, 0.3);
    harness.app().menu()->close();
    EXPECT_FALSE(harness.app().timerIsMenuSampler());
    EXPECT_EQ(harness.app().scheduledPollingInterval(), 30.0);
}

}  // namespace
}  // namespace ampwell::test
