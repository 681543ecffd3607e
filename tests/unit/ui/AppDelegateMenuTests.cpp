#include "tests/unit/support/AppHarness.hpp"

#include "platform/base/Defaults.hpp"

#include <gtest/gtest.h>

namespace ampwell::test {
namespace {

std::vector<std::string> titles(const platform::Menu& menu) {
    std::vector<std::string> result;
    for (const auto& item : menu.items()) result.push_back(item->isSeparator() ? "—" : item->title());
    return result;
}

std::vector<std::string> checked(const platform::Menu& menu) {
    std::vector<std::string> result;
    for (const auto& item : menu.items())
        if (item->state() == platform::CheckState::on) result.push_back(item->title());
    return result;
}

TEST(AppDelegateMenu, TheMenuHasItsItemsKeysAndSymbolsInOrder) {
    AppHarness harness;
    harness.launch();
    const auto& menu = *harness.app().menu();
    // Overview, one port row, the port section's end, footnote, then the commands.
    EXPECT_EQ(titles(menu), (std::vector<std::string>{"", "", "—", "", "—", "立即刷新", "偏好设置", "重置 USB 连接…",
                                                      "关于读数", "—", "退出 Ampwell"}));
    EXPECT_NE(menu.items()[0]->view(), nullptr);
    EXPECT_NE(menu.items()[1]->view(), nullptr);
    EXPECT_EQ(menu.items()[5]->keyEquivalent(), "r");
    EXPECT_EQ(menu.items()[5]->symbolName(), "arrow.clockwise");
    EXPECT_EQ(menu.items()[6]->symbolName(), "slider.horizontal.3");
    EXPECT_EQ(menu.items()[7]->symbolName(), "cable.connector");
    EXPECT_EQ(menu.items()[8]->symbolName(), "info.circle");
    EXPECT_EQ(menu.items()[10]->keyEquivalent(), "q");
    EXPECT_EQ(menu.items()[10]->symbolName(), "power");
    EXPECT_FALSE(menu.autoenablesItems());
    EXPECT_EQ(menu.minimumWidth(), 360);

    const auto& preferences = *menu.items()[6]->submenu();
    EXPECT_EQ(titles(preferences), (std::vector<std::string>{"菜单栏显示", "低功率分界", "—",
                                                             "及时更新功率：组件未安装", "供电不足通知：查询权限中"}));
    EXPECT_FALSE(preferences.items()[3]->isEnabled());
    EXPECT_EQ(preferences.items()[3]->toolTip(), "查看功率或连接设备时及时更新，收起后减少后台活动。");
    EXPECT_FALSE(preferences.items()[4]->isEnabled());
    EXPECT_EQ(titles(*preferences.items()[0]->submenu()),
              (std::vector<std::string>{"仅小图标 · iPad 状态", "iPad 功率", "所有接口合计", "接口 1", "接口 2", "接口 3"}));
    EXPECT_EQ(titles(*preferences.items()[1]->submenu()), (std::vector<std::string>{"5 W", "10 W", "15 W"}));
    EXPECT_EQ(titles(*harness.app().resetMenu()), (std::vector<std::string>{"正在读取设备…"}));
}

TEST(AppDelegateMenu, ChoosingADisplayModeStoresItAndRetitlesTheStatusItem) {
    AppHarness harness;
    harness.launch();
    const auto& item = *harness.app().statusItem();
    EXPECT_EQ(item.length(), 16.0);
    EXPECT_EQ(item.title(), "");
    EXPECT_EQ(item.imagePosition(), platform::ImagePosition::imageOnly);

    ASSERT_TRUE(harness.app().menu()->itemAtPath({"偏好设置", "菜单栏显示", "iPad 功率"})->perform());
    EXPECT_EQ(platform::stringDefault(harness.platform().defaults(), "menuDisplayMode"), "ipad");
    EXPECT_EQ(item.length(), std::nullopt);
    EXPECT_EQ(item.imagePosition(), platform::ImagePosition::imageLeading);
    EXPECT_EQ(item.title(), " iPad 8.6 W");
    const auto& displays = *harness.app().menu()->itemAtPath({"偏好设置", "菜单栏显示"})->submenu();
    EXPECT_EQ(checked(displays), (std::vector<std::string>{"iPad 功率"}));
}

TEST(AppDelegateMenu, AnUnusableStoredBoundaryReadsAsTenAndChoosingFifteenStoresIt) {
    AppHarness harness({.defaults = R"({"lowPowerThreshold": -3})"});
    harness.launch();
    EXPECT_EQ(harness.app().threshold(), 10.0);
    const auto& thresholds = *harness.app().menu()->itemAtPath({"偏好设置", "低功率分界"})->submenu();
    EXPECT_EQ(checked(thresholds), (std::vector<std::string>{"10 W"}));
    EXPECT_NE(harness.app().statusItem()->toolTip().find("充电低于 10 W 或持续掉电时黄色。"), std::string::npos);

    ASSERT_TRUE(harness.app().menu()->itemAtPath({"偏好设置", "低功率分界", "15 W"})->perform());
    EXPECT_EQ(platform::numberDefault(harness.platform().defaults(), "lowPowerThreshold"), 15.0);
    EXPECT_EQ(checked(thresholds), (std::vector<std::string>{"15 W"}));
    // The legend follows the new boundary.
    EXPECT_NE(harness.app().statusItem()->toolTip().find("低于 15 W"), std::string::npos);
}

TEST(AppDelegateMenu, OpeningTheMainMenuRefreshesAndShowsTheNotificationPermission) {
    AppHarness harness({.ui = R"({"notifications": "denied"})"});
    harness.launch();
    harness.runUntil(1);
    harness.app().menu()->open();
    EXPECT_TRUE(harness.app().mainMenuIsOpen());
    harness.runUntil(1.5);
    const auto& preferences = *harness.app().menu()->itemWithTitle("偏好设置")->submenu();
    EXPECT_EQ(preferences.items()[4]->title(), "供电不足通知：未获授权");
    harness.app().menu()->close();
    EXPECT_FALSE(harness.app().mainMenuIsOpen());
    std::vector<std::string> triggers;
    for (const auto& [time, trigger] : harness.refreshTriggers()) triggers.push_back(trigger);
    EXPECT_NE(std::find(triggers.begin(), triggers.end(), "menu-open"), triggers.end());
    EXPECT_EQ(triggers.back(), "menu-close");
}

TEST(AppDelegateMenu, TheResetSubmenuListsTheTargetsWhenItOpens) {
    AppHarness harness;
    harness.launch();
    harness.app().resetMenu()->open();
    EXPECT_EQ(titles(*harness.app().resetMenu()), (std::vector<std::string>{"接口 1 · iPad…"}));
    EXPECT_TRUE(harness.app().resetMenu()->items().front()->isEnabled());

    AppHarness empty({.iPad = false});
    empty.launch();
    empty.app().resetMenu()->open();
    EXPECT_EQ(titles(*empty.app().resetMenu()), (std::vector<std::string>{"暂无可重置的 USB 设备"}));
    EXPECT_FALSE(empty.app().resetMenu()->items().front()->isEnabled());
}

}  // namespace
}  // namespace ampwell::test
