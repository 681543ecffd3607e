#include "BusHelpers.hpp"
#include "StandInNotificationServer.hpp"

#include "platform/linux/desktop/DesktopNotifications.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace ampwell::tests {
namespace {

using platform::linux_::DesktopNotification;
using platform::linux_::DesktopNotifications;
using platform::linux_::NotificationPermission;

class NotificationTest : public ::testing::Test {
protected:
    void SetUp() override { bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr); }
    void TearDown() override { g_object_unref(bus); }

    std::optional<NotificationPermission> permission(DesktopNotifications& client) {
        std::optional<NotificationPermission> answer;
        client.readPermission([&](NotificationPermission p) { answer = p; });
        spinUntil([&] { return answer.has_value(); }, 8000);
        return answer;
    }

    DesktopNotification warning(const std::string& serial) {
        return {"iPad 可能供电不足",
                "电量下降",
                {{"reset-ipad-usb", "重置 iPad USB（会断开数据）"}, {"ignore", "暂不处理"}},
                {{"deviceSerial", serial}, {"connectionID", "boot:42"}},
                "ipad-supply-warning",
                true,
                "可从菜单重置。"};
    }

    GDBusConnection* bus = nullptr;
};

TEST_F(NotificationTest, PermissionFollowsWhatTheServiceCanShow) {
    DesktopNotifications client(bus, "Ampwell", "ampwell", "ampwell");
    {
        StandInNotificationServer server({"actions", "body"});
        ASSERT_TRUE(server.waitUntilOwned());
        EXPECT_EQ(permission(client), NotificationPermission::authorized);
    }
    {
        // A service without buttons still shows the warning (without them, see below).
        StandInNotificationServer server({"body"});
        ASSERT_TRUE(server.waitUntilOwned());
        EXPECT_EQ(permission(client), NotificationPermission::authorized);
    }
    // No service on the bus at all.
    EXPECT_EQ(permission(client), NotificationPermission::denied);
}

TEST_F(NotificationTest, ANewWarningReplacesThePreviousOneAndActionsCarryTheirUserInfo) {
    StandInNotificationServer server;
    ASSERT_TRUE(server.waitUntilOwned());
    DesktopNotifications client(bus, "Ampwell", "ampwell", "ampwell");
    std::vector<std::pair<std::string, std::string>> chosen;
    client.onAction = [&](const std::string& action, const std::map<std::string, std::string>& info) {
        chosen.emplace_back(action, info.at("deviceSerial"));
    };
    int accepted = 0;
    client.post(warning("SERIAL-A"), [&](bool ok) { accepted += ok; });
    ASSERT_TRUE(spinUntil([&] { return accepted == 1; }));
    client.post(warning("SERIAL-B"), [&](bool ok) { accepted += ok; });
    ASSERT_TRUE(spinUntil([&] { return accepted == 2; }));

    ASSERT_EQ(server.posted().size(), 2u);
    const auto& first = server.posted()[0];
    const auto& second = server.posted()[1];
    EXPECT_EQ(first.summary, "iPad 可能供电不足");
    EXPECT_EQ(first.actions, (std::vector<std::string>{"reset-ipad-usb", "重置 iPad USB（会断开数据）", "ignore", "暂不处理"}));
    EXPECT_EQ(first.desktopEntry, "ampwell");
    EXPECT_EQ(second.replacesId, first.id);

    server.invokeAction(second.id, "reset-ipad-usb");
    ASSERT_TRUE(spinUntil([&] { return chosen.size() == 1; }));
    EXPECT_EQ(chosen[0], (std::pair<std::string, std::string>{"reset-ipad-usb", "SERIAL-B"}));

    // Another program's notification, and one that has been closed, are not ours to answer.
    server.invokeAction(999, "reset-ipad-usb");
    server.close(second.id);
    spinUntil([] { return false; }, 100);
    server.invokeAction(second.id, "reset-ipad-usb");
    spinUntil([] { return false; }, 100);
    EXPECT_EQ(chosen.size(), 1u);
    // With the old one gone, the next warning is a new notification rather than a replacement.
    client.post(warning("SERIAL-C"), [&](bool ok) { accepted += ok; });
    ASSERT_TRUE(spinUntil([&] { return accepted == 3; }));
    EXPECT_EQ(server.posted().back().replacesId, 0u);
}

TEST_F(NotificationTest, AWarningStaysUntilAnsweredAndIsWithdrawnThenOrWhenItsIncidentEnds) {
    StandInNotificationServer server;
    ASSERT_TRUE(server.waitUntilOwned());
    DesktopNotifications client(bus, "Ampwell", "ampwell", "ampwell");
    int answers = 0;
    client.onAction = [&](const std::string&, const std::map<std::string, std::string>&) { ++answers; };
    int accepted = 0;
    client.post(warning("SERIAL-A"), [&](bool ok) { accepted += ok; });
    ASSERT_TRUE(spinUntil([&] { return accepted == 1; }));
    const auto first = server.posted().back();
    EXPECT_EQ(first.expireTimeout, 0);
    EXPECT_TRUE(first.resident);
    EXPECT_EQ(first.appIcon, "ampwell");
    EXPECT_EQ(first.body, "电量下降");  // the buttons are shown: no note

    // Answered: taken off the screen, where a resident one would otherwise stay.
    server.invokeAction(first.id, "reset-ipad-usb");
    ASSERT_TRUE(spinUntil([&] { return server.closedByClient().size() == 1; }));
    EXPECT_EQ(server.closedByClient()[0], first.id);
    EXPECT_EQ(answers, 1);

    // The incident ends while the next warning is still on its way to the service: it is closed
    // as soon as its id is known. A warning posted after that stays.
    client.post(warning("SERIAL-B"));
    client.withdraw("ipad-supply-warning");
    ASSERT_TRUE(spinUntil([&] { return server.closedByClient().size() == 2; }));
    EXPECT_EQ(server.closedByClient()[1], server.posted().back().id);
    client.post(warning("SERIAL-C"), [&](bool ok) { accepted += ok; });
    ASSERT_TRUE(spinUntil([&] { return accepted == 2; }));
    spinUntil([] { return false; }, 100);
    EXPECT_EQ(server.closedByClient().size(), 2u);
    client.withdraw("ipad-supply-warning");
    ASSERT_TRUE(spinUntil([&] { return server.closedByClient().size() == 3; }));
    EXPECT_EQ(server.closedByClient()[2], server.posted().back().id);
}

TEST_F(NotificationTest, AServiceWithoutButtonsGetsTheWarningWithANoteAndMarkupServicesEscapedText) {
    StandInNotificationServer server({"body", "body-markup"});
    ASSERT_TRUE(server.waitUntilOwned());
    DesktopNotifications client(bus, "Ampwell", "ampwell", "ampwell");
    bool accepted = false;
    auto warned = warning("SERIAL-A");
    warned.body = "电量下降 <5% & 仍在下降";
    client.post(warned, [&](bool ok) { accepted = ok; });
    ASSERT_TRUE(spinUntil([&] { return accepted; }));
    EXPECT_TRUE(server.posted().back().actions.empty());
    // Markup is escaped for a service that reads it.
    EXPECT_EQ(server.posted().back().body, "电量下降 &lt;5% &amp; 仍在下降\n可从菜单重置。");
}

}  // namespace
}  // namespace ampwell::tests
