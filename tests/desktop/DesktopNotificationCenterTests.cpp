#include "BusHelpers.hpp"
#include "StandInNotificationServer.hpp"

#include "platform/base/Clock.hpp"
#include "platform/linux/desktop/DesktopNotificationCenter.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace ampwell::tests {
namespace {

using namespace platform;
using linux_::DesktopNotificationCenter;

class Answers final : public NotificationCenterDelegate {
public:
    void didReceive(const NotificationResponse& response, std::function<void()> completion) override {
        std::lock_guard lock(mutex);
        actions.push_back(response.actionIdentifier);
        serials.push_back(response.request.content.userInfo.value("deviceSerial", ""));
        offMain = offMain && std::this_thread::get_id() != mainThread;
        completion();
    }
    void willPresent(const NotificationRequest&, std::function<void(unsigned)> completion) override { completion(0); }

    std::mutex mutex;
    std::vector<std::string> actions;
    std::vector<std::string> serials;
    std::thread::id mainThread = std::this_thread::get_id();
    bool offMain = true;
};

TEST(DesktopNotificationCenter, PostsWithTheCategoryButtonsAndHandsBackTheResponse) {
    StandInNotificationServer server;
    ASSERT_TRUE(server.waitUntilOwned());
    SystemClock clock;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    DesktopNotificationCenter center(bus, g_main_context_default(), clock);
    auto answers = std::make_shared<Answers>();
    center.setDelegate(answers);
    center.setNotificationCategories({{"ipad-supply-warning",
                                       {{"reset-ipad-usb", "重置 iPad USB（会断开数据）", true}, {"ignore", "暂不处理", false}}}});
    std::atomic<int> status{-1};
    center.getNotificationSettings([&](NotificationSettings s) { status = static_cast<int>(s.authorizationStatus); });
    ASSERT_TRUE(spinUntil([&] { return status >= 0; }));
    EXPECT_EQ(status, static_cast<int>(AuthorizationStatus::authorized));

    NotificationRequest request{"ipad-supply-warning",
                                {"iPad 可能供电不足", "电量下降。检查线缆与供电口；需要时可手动重新连接或使用独立电源。",
                                 "ipad-supply-warning", {{"deviceSerial", "SER1"}, {"connectionID", "b:7"}}}};
    // From another thread, as the seam allows.
    std::thread([&] { center.add(request); }).join();
    ASSERT_TRUE(spinUntil([&] { return server.posted().size() == 1; }));
    EXPECT_EQ(server.posted()[0].actions,
              (std::vector<std::string>{"reset-ipad-usb", "重置 iPad USB（会断开数据）", "ignore", "暂不处理"}));
    server.invokeAction(server.posted()[0].id, "reset-ipad-usb");
    ASSERT_TRUE(spinUntil([&] {
        std::lock_guard lock(answers->mutex);
        return answers->actions.size() == 1;
    }));
    std::lock_guard lock(answers->mutex);
    EXPECT_EQ(answers->actions[0], "reset-ipad-usb");
    EXPECT_EQ(answers->serials[0], "SER1");
    EXPECT_TRUE(answers->offMain);
    g_object_unref(bus);
}

}  // namespace
}  // namespace ampwell::tests
