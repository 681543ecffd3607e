#include "platform/desktop/headless/HeadlessDesktop.hpp"

#include "platform/desktop/Menu.hpp"
#include "platform/drawing/Image.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimulationLoader.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ampwell::platform::headless {
namespace {

using ::testing::HasSubstr;

// A scripted minute: the menu opens, a click misses a disabled item, one changes a setting, two
// clicks answer a dialog (scripted, then the default), a notification is answered, and the run
// ends at clock.until.
const char* const kScript = R"({
  "format": "ampwell-simulation/1",
  "clock": {"start": 1800000000, "speed": 0, "until": 9},
  "ui": {"alertAnswers": ["取消"]},
  "timeline": [
    {"at": 1, "ui": {"open": "menu"}},
    {"at": 2, "ui": {"click": ["偏好设置", "供电不足通知：已开启"]}},
    {"at": 3, "ui": {"click": ["偏好设置", "iPad 功率"]}},
    {"at": 4, "ui": {"click": ["立即刷新"]}},
    {"at": 5, "ui": {"click": ["立即刷新"]}},
    {"at": 6, "ui": {"notification": "reset-ipad-usb"}},
    {"at": 7, "ui": {"notification": "ignore"}}
  ]
})";

class NamedImage final : public Image {
public:
    explicit NamedImage(std::string name) : name_(std::move(name)) {}
    double width() const override { return 16; }
    double height() const override { return 16; }
    bool draw(Canvas&) const override { return true; }
    std::string name() const override { return name_; }
    bool isTemplate() const override { return true; }

private:
    std::string name_;
};

// A controller the size of a test: one status item, a menu with a submenu, a dialog behind
// "立即刷新", a notification posted once permission is settled, and the answers it receives.
class Controller final : public ApplicationDelegate,
                         public MenuDelegate,
                         public NotificationCenterDelegate,
                         public std::enable_shared_from_this<Controller> {
public:
    Controller(Desktop& desktop, Platform& platform) : desktop_(desktop), platform_(platform) {}

    void applicationDidFinishLaunching() override {
        item_ = desktop_.statusBar().statusItem(16.0);
        {
            StatusItem::Changes changes(*item_);
            item_->setImage(std::make_shared<NamedImage>("unavailable"));
            item_->setImagePosition(ImagePosition::imageOnly);
        }
        menu_ = std::make_shared<Menu>();
        menu_->setIdentifier("main");
        menu_->setAutoenablesItems(false);
        menu_->setDelegate(weak_from_this());
        menu_->addItem(std::make_shared<MenuItem>("立即刷新", [this](MenuItem&) { refreshAsked(); }, "r"));
        auto preferences = std::make_shared<Menu>();
        preferences->setAutoenablesItems(false);
        preferences->addItem(std::make_shared<MenuItem>("iPad 功率", [this](MenuItem&) {
            platform_.defaults().set("menuDisplayMode", PropertyValue::string("ipad"));
        }));
        auto status = std::make_shared<MenuItem>("供电不足通知：已开启");
        status->setEnabled(false);
        preferences->addItem(status);
        auto preferencesItem = std::make_shared<MenuItem>("偏好设置");
        preferencesItem->setSubmenu(preferences);
        menu_->addItem(preferencesItem);
        menu_->addItem(MenuItem::separator());
        item_->setMenu(menu_);

        auto& center = desktop_.notificationCenter();
        center.setDelegate(weak_from_this());
        center.setNotificationCategories({{"ipad-supply-warning", {{"reset-ipad-usb", "重置 iPad USB（会断开数据）", true},
                                                                   {"ignore", "暂不处理", false}}}});
        center.requestAuthorization(authorizationAlert, [&center](bool granted, std::string) {
            if (granted)
                center.add({"ipad-supply-warning",
                            {"iPad 可能供电不足", "电量持续下降", "ipad-supply-warning", {{"deviceSerial", "A1"}}}});
        });
    }
    void applicationWillTerminate() override { platform_.systemLog().write("bye"); }
    void menuWillOpen(Menu&) override { item_->setVisible(true); }
    void menuDidClose(Menu&) override {}
    void didReceive(const NotificationResponse& response, std::function<void()> completion) override {
        auto self = shared_from_this();
        platform_.mainQueue().post([self, action = response.actionIdentifier] {
            self->platform_.systemLog().write("answered " + action);
        });
        completion();
    }
    void willPresent(const NotificationRequest&, std::function<void(unsigned)> completion) override { completion(0); }

private:
    void refreshAsked() {
        desktop_.alerts().present({"立即刷新？", "读数会更新。", {"好", "取消"}}, [this](std::size_t answer) {
            platform_.systemLog().write(answer == 0 ? "refreshed" : "not refreshed");
        });
    }

    Desktop& desktop_;
    Platform& platform_;
    std::shared_ptr<StatusItem> item_;
    std::shared_ptr<Menu> menu_;
};

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(HeadlessDesktop, RecordsAScriptedRunAsJsonLines) {
    const auto log = std::filesystem::path(testing::TempDir()) / ("headless-" + std::to_string(::getpid()) + ".jsonl");
    std::filesystem::remove(log);
    sim::SimPlatform platform(sim::parseSimulation(kScript, "minute.json"));
    std::ostringstream out;
    int status = -1;
    {
        HeadlessDesktop desktop(platform, out, log.string());
        auto controller = std::make_shared<Controller>(desktop, platform);
        desktop.application().setDelegate(controller);
        status = desktop.application().run();
    }
    EXPECT_EQ(status, 0);

    // The golden record of that minute: sorted keys, "event" and "time" in every line, the
    // dialogs answered "取消" (scripted) and then "好" (the first button), the miss recorded.
    const std::string expected = R"({"accessibilityLabel":"","event":"status-item","image":"unavailable","imagePosition":"only","length":16,"time":1800000000.0,"title":"","tooltip":"","visible":false}
{"event":"authorization-request","options":["alert"],"status":"authorized","time":1800000000.0}
{"actions":["重置 iPad USB（会断开数据）","暂不处理"],"body":"电量持续下降","category":"ipad-supply-warning","event":"notification","identifier":"ipad-supply-warning","time":1800000000.0,"title":"iPad 可能供电不足","userInfo":{"deviceSerial":"A1"}}
{"accessibilityLabel":"","event":"status-item","image":"unavailable","imagePosition":"only","length":16,"time":1800000001.0,"title":"","tooltip":"","visible":true}
{"event":"menu","items":[{"checked":false,"enabled":true,"key":"r","title":"立即刷新"},{"checked":false,"enabled":true,"submenu":[{"checked":false,"enabled":true,"title":"iPad 功率"},{"checked":false,"enabled":false,"title":"供电不足通知：已开启"}],"title":"偏好设置"},{"separator":true}],"menu":"main","time":1800000001.0}
{"event":"click","missed":true,"origin":"minute.json: $.timeline[1].ui.click","path":["偏好设置","供电不足通知：已开启"],"time":1800000002.0}
{"event":"click","missed":false,"path":["偏好设置","iPad 功率"],"time":1800000003.0}
{"event":"menu-closed","menu":"main","time":1800000003.0}
{"event":"defaults-write","key":"menuDisplayMode","time":1800000003.0,"value":"ipad"}
{"event":"menu","items":[{"checked":false,"enabled":true,"key":"r","title":"立即刷新"},{"checked":false,"enabled":true,"submenu":[{"checked":false,"enabled":true,"title":"iPad 功率"},{"checked":false,"enabled":false,"title":"供电不足通知：已开启"}],"title":"偏好设置"},{"separator":true}],"menu":"main","time":1800000004.0}
{"event":"click","missed":false,"path":["立即刷新"],"time":1800000004.0}
{"event":"menu-closed","menu":"main","time":1800000004.0}
{"answer":"取消","buttons":["好","取消"],"event":"alert","informative":"读数会更新。","message":"立即刷新？","time":1800000004.0}
{"event":"log","text":"not refreshed","time":1800000004.0}
{"event":"menu","items":[{"checked":false,"enabled":true,"key":"r","title":"立即刷新"},{"checked":false,"enabled":true,"submenu":[{"checked":false,"enabled":true,"title":"iPad 功率"},{"checked":false,"enabled":false,"title":"供电不足通知：已开启"}],"title":"偏好设置"},{"separator":true}],"menu":"main","time":1800000005.0}
{"event":"click","missed":false,"path":["立即刷新"],"time":1800000005.0}
{"event":"menu-closed","menu":"main","time":1800000005.0}
{"answer":"好","buttons":["好","取消"],"event":"alert","informative":"读数会更新。","message":"立即刷新？","time":1800000005.0}
{"event":"log","text":"refreshed","time":1800000005.0}
{"action":"reset-ipad-usb","event":"notification-response","identifier":"ipad-supply-warning","time":1800000006.0}
{"event":"log","text":"answered reset-ipad-usb","time":1800000006.0}
{"action":"ignore","event":"notification-response","identifier":"ipad-supply-warning","time":1800000007.0}
{"event":"log","text":"answered ignore","time":1800000007.0}
{"event":"log","text":"bye","time":1800000009.0}
{"event":"terminate","time":1800000009.0}
)";
    EXPECT_EQ(readFile(log), expected) << out.str();
    // The same events as lines a person reads: time of day on the simulated clock, what was seen.
    EXPECT_THAT(out.str(), HasSubstr("08:00:01.000  menu          opens: 立即刷新 ⌘R | 偏好设置 ▸ | —\n"));
    EXPECT_THAT(out.str(), HasSubstr("08:00:02.000  user clicks   偏好设置 › 供电不足通知：已开启 (missed: no enabled item there)\n"));
    EXPECT_THAT(out.str(), HasSubstr("08:00:05.000  dialog        \"立即刷新？\" 读数会更新。 [好 | 取消] → 好\n"));
    EXPECT_THAT(out.str(), HasSubstr("08:00:09.000  quit          Ampwell ends\n"));
    std::filesystem::remove(log);
}

}  // namespace
}  // namespace ampwell::platform::headless
