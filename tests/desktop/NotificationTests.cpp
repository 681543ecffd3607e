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
        return {"iPad 可能供电不足", "电量下降", {{"reset-ipad-usb", "重置 iPad USB（会断开数据）"}, {"ignore", "暂不处理"}},
                {{"deviceSerial", serial}, {"connectionID", "boot:42"}}, "ipad-supply-warning"};
    }

    GDBusConnection* bus = nullptr;
};

TEST_F(NotificationTest, PermissionFollowsWhatTheServiceCanShow) {
    DesktopNotifications client(bus, "Ampwell", "ampwell");
    {
        StandInNotificationServer server({"actions", "body"});
        ASSERT_TRUE(server.waitUntilOwned());
        EXPECT_EQ(permission(client), NotificationPermission::authorized);
    }
    {
        // A service without buttons cannot offer the reset.
        StandInNotificationServer server({"body"});
        ASSERT_TRUE(server.waitUntilOwned());
        EXPECT_EQ(permission(client), NotificationPermission::provisional);
    }
    // No service on the bus at all.
    EXPECT_EQ(permission(client), NotificationPermission::denied);
}

TEST_F(NotificationTest, ANewWarningReplacesThePreviousOneAndActionsCarryTheirUserInfo) {
    StandInNotificationServer server;
    ASSERT_TRUE(server.waitUntilOwned());
    DesktopNotifications client(bus, "Ampwell", "ampwell");
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

}  // namespace
}  // namespace ampwell::tests
