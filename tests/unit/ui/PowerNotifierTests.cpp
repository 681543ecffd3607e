#include "tests/unit/support/AppHarness.hpp"

#include <gtest/gtest.h>

#include <atomic>

namespace ampwell::test {
namespace {

TEST(PowerNotifier, PostsOncePerIncidentUnderOneRequestIdentifier) {
    AppHarness harness({.ui = R"({"notifications": "authorized"})"});
    harness.launch();
    auto& notifier = harness.app().notifier();
    notifier.alert("incident-1", "接电仍持续掉电", "SERIAL", "1799990000:1234567");
    notifier.alert("incident-1", "接电仍持续掉电", "SERIAL", "1799990000:1234567");
    notifier.alert("incident-2", "接电仍持续掉电", "SERIAL", "1799990000:1234567");
    harness.runUntil(1);
    const auto posted = harness.events("notification");
    ASSERT_EQ(posted.size(), 2u);
    for (const auto& event : posted) {
        EXPECT_EQ(event["identifier"], "ipad-supply-warning");
        EXPECT_EQ(event["category"], "ipad-supply-warning");
        EXPECT_EQ(event["title"], "iPad 可能供电不足");
        EXPECT_EQ(event["body"], "接电仍持续掉电。检查线缆与供电口；需要时可手动重新连接或使用独立电源。");
        EXPECT_EQ(event["userInfo"], (nlohmann::json{{"connectionID", "1799990000:1234567"}, {"deviceSerial", "SERIAL"}}));
    }
}

TEST(PowerNotifier, TheWarningIsWithdrawnOnceWhenItsIncidentEndsAndTheIncidentStaysRemembered) {
    AppHarness harness({.ui = R"({"notifications": "authorized"})"});
    harness.launch();
    auto& notifier = harness.app().notifier();
    notifier.incidentEnded();  // nothing was posted: nothing to withdraw
    // Ended at once: the withdrawal must not overtake the post still on its way.
    notifier.alert("incident-1", "接电仍持续掉电", "SERIAL", "1799990000:1234567");
    notifier.incidentEnded();
    notifier.incidentEnded();
    notifier.alert("incident-1", "接电仍持续掉电", "SERIAL", "1799990000:1234567");
    harness.runUntil(2);
    const auto removed = harness.events("notification-removed");
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(removed[0]["identifier"], "ipad-supply-warning");
    EXPECT_EQ(harness.events("notification").size(), 1u);
}

TEST(PowerNotifier, AnIncidentRaisedWhileDeniedStaysSuppressed) {
    AppHarness harness({.ui = R"({"notifications": "denied"})"});
    harness.launch();
    harness.app().notifier().alert("incident-1", "m", "SERIAL", "1799990000:1234567");
    harness.runUntil(1);
    EXPECT_TRUE(harness.events("notification").empty());
    EXPECT_EQ(harness.app().notifier().lastIncident(), "incident-1");
}

TEST(PowerNotifier, OnlyTheResetActionWithBothTextsRequestsAReset) {
    AppHarness harness;
    harness.launch();
    auto& notifier = harness.app().notifier();
    std::vector<std::pair<std::string, std::string>> requested;
    notifier.resetRequested = [&](const std::string& serial, const std::string& connection) {
        requested.emplace_back(serial, connection);
    };
    std::atomic<int> completions{0};
    auto respond = [&](const std::string& action, nlohmann::json userInfo) {
        platform::NotificationResponse response;
        response.request.identifier = "ipad-supply-warning";
        response.request.content.userInfo = std::move(userInfo);
        response.actionIdentifier = action;
        notifier.didReceive(response, [&] { ++completions; });
    };
    respond("reset-ipad-usb", {{"deviceSerial", "S"}});                                 // no connection
    respond("reset-ipad-usb", {{"deviceSerial", "S"}, {"connectionID", 42}});          // not text
    respond("ignore", {{"deviceSerial", "S"}, {"connectionID", "B:1"}});
    respond(platform::kDefaultActionIdentifier, {{"deviceSerial", "S"}, {"connectionID", "B:1"}});
    respond("reset-ipad-usb", {{"deviceSerial", "S"}, {"connectionID", "B:1"}});
    EXPECT_EQ(completions, 5);
    EXPECT_TRUE(requested.empty());  // the reset waits for the main queue
    harness.runUntil(1);
    EXPECT_EQ(requested, (std::vector<std::pair<std::string, std::string>>{{"S", "B:1"}}));
}

TEST(PowerNotifier, AFallingTrendOnExternalPowerNotifiesOnceAndItsActionResetsTheIPad) {
    // The iPad charges yet loses 1 % a minute: after five minutes the trend is falling.
    AppHarness harness({.ui = R"({"notifications": "authorized"})"});
    std::atomic<int> percent{60};
    harness.batteryAnswer = [&harness, &percent] {
        DeviceBattery battery;
        battery.serial = "00008103-001A";
        battery.deviceClass = "iPad";
        battery.percent = percent.load();
        battery.isCharging = true;
        battery.externalConnected = true;
        battery.sampledAt = harness.platform().clock().now();
        battery.connectionID = "1234567";
        return std::vector<DeviceBattery>{battery};
    };
    harness.launch();
    for (int minute = 1; minute <= 12; ++minute) {
        harness.runUntil(60.0 * minute);
        percent -= 1;
    }
    harness.runUntil(60.0 * 12 + 40);
    const auto posted = harness.events("notification");
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(posted[0]["userInfo"]["connectionID"], "1799990000:1234567");
    EXPECT_NE(posted[0]["body"].get<std::string>().find("，当前 8.64 W"), std::string::npos);
    EXPECT_EQ(harness.app().statusItem()->image()->name(), "low");

    ASSERT_TRUE(harness.desktop().headlessNotificationCenter().respond("reset-ipad-usb"));
    harness.runUntil(60.0 * 12 + 45);
    std::vector<std::string> messages;
    for (const auto& event : harness.events("alert")) messages.push_back(event["message"]);
    EXPECT_EQ(messages, (std::vector<std::string>{"已发送 iPad USB 重置请求"}));
}

}  // namespace
}  // namespace ampwell::test
