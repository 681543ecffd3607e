#include "MenuHostTest.hpp"

#include "platform/desktop/Menu.hpp"
#include "platform/desktop/MenuView.hpp"
#include "platform/linux/desktop/TrayMenuExport.hpp"

#include <gtest/gtest.h>

namespace ampwell::tests {
namespace {

using platform::CheckState;
using platform::Menu;
using platform::MenuItem;
using platform::linux_::TrayMenuExport;

class CardView final : public platform::MenuView {
public:
    double width() const override { return 360; }
    double height() const override { return 88; }
    void draw(platform::Canvas&, bool) override {}
    std::string tooltip() const override { return ""; }
    std::string accessibilityLabel() const override { return "iPad，8.4 W"; }
    nlohmann::json describe() const override {
        return {{"kind", "card"}, {"name", "iPad"}, {"power", power}, {"battery", "USB-C 1 · 80% · 未充电"}};
    }
    std::string power = "8.4 W";
};

// Records what the menus are told, in order, and fills the reset menu when it opens.
class Recorder final : public platform::MenuDelegate {
public:
    void menuWillOpen(Menu& menu) override {
        log.push_back("open " + menu.identifier());
        if (menu.identifier() != "reset") return;
        menu.removeAllItems();
        auto item = std::make_shared<MenuItem>("接口 1 · My_Hub（含下游设备）…", [this](MenuItem& sender) {
            log.push_back("perform " + sender.title());
        });
        item->setRepresentedObject(42);
        menu.addItem(item);
    }
    void menuDidClose(Menu& menu) override { log.push_back("close " + menu.identifier()); }
    std::vector<std::string> log;
};

class TrayMenuExportTest : public MenuHostTest {
protected:
    void SetUp() override {
        MenuHostTest::SetUp();
        recorder = std::make_shared<Recorder>();
        main = std::make_shared<Menu>();
        main->setIdentifier("main");
        main->setDelegate(recorder);
        main->setAutoenablesItems(false);
        auto cardItem = std::make_shared<MenuItem>();
        cardItem->setView(&card);
        main->addItem(cardItem);
        main->addItem(MenuItem::separator());
        auto refresh = std::make_shared<MenuItem>("立即刷新", [this](MenuItem&) { recorder->log.push_back("refresh"); }, "r");
        refresh->setSymbolName("arrow.clockwise");
        main->addItem(refresh);

        auto display = std::make_shared<Menu>();
        display->setAutoenablesItems(false);
        for (const char* mode : {"icon", "ipad"}) {
            auto choice = std::make_shared<MenuItem>(std::string(mode) == "icon" ? "仅小图标 · iPad 状态" : "iPad 功率",
                                                     [](MenuItem&) {});
            choice->setRepresentedObject(std::string(mode));
            choice->setState(std::string(mode) == "icon" ? CheckState::on : CheckState::off);
            display->addItem(choice);
            choices.push_back(choice);
        }
        auto preferences = std::make_shared<Menu>();
        preferences->setAutoenablesItems(false);
        auto displayItem = std::make_shared<MenuItem>("菜单栏显示");
        displayItem->setSubmenu(display);
        preferences->addItem(displayItem);
        sampling = std::make_shared<MenuItem>("及时更新功率", [](MenuItem&) {});
        preferences->addItem(sampling);
        auto preferencesItem = std::make_shared<MenuItem>("偏好设置");
        preferencesItem->setSubmenu(preferences);
        main->addItem(preferencesItem);

        reset = std::make_shared<Menu>();
        reset->setIdentifier("reset");
        reset->setDelegate(recorder);
        reset->setAutoenablesItems(false);
        auto reading = std::make_shared<MenuItem>("正在读取设备…");
        reading->setEnabled(false);
        reset->addItem(reading);
        auto resetItem = std::make_shared<MenuItem>("重置 USB 连接…");
        resetItem->setSubmenu(reset);
        main->addItem(resetItem);
    }

    CardView card;
    std::shared_ptr<Recorder> recorder;
    std::shared_ptr<Menu> main;
    std::shared_ptr<Menu> reset;
    std::shared_ptr<MenuItem> sampling;
    std::vector<std::shared_ptr<MenuItem>> choices;
};

TEST_F(TrayMenuExportTest, ExportsTitlesChecksShortcutsAndViewRows) {
    TrayMenuExport exported;
    exported.setMenu(main);
    LayoutEntry root = layout();
    ASSERT_EQ(root.children.size(), 5u);
    EXPECT_EQ(root.children[0].label, "iPad · 8.4 W · USB-C 1 · 80% · 未充电");
    EXPECT_EQ(root.children[1].property("type"), "'separator'");
    const LayoutEntry* refresh = root.child("立即刷新");
    ASSERT_NE(refresh, nullptr);
    EXPECT_EQ(refresh->property("shortcut"), "[['Control', 'r']]");
    EXPECT_NE(refresh->property("icon-data"), "");
    const LayoutEntry* preferences = root.child("偏好设置");
    ASSERT_NE(preferences, nullptr);
    EXPECT_EQ(preferences->property("children-display"), "'submenu'");
    const LayoutEntry* display = preferences->child("菜单栏显示");
    ASSERT_NE(display, nullptr);
    ASSERT_EQ(display->children.size(), 2u);
    EXPECT_EQ(display->children[0].property("toggle-type"), "'radio'");
    EXPECT_EQ(display->children[0].property("toggle-state"), "1");
    EXPECT_EQ(display->children[1].property("toggle-state"), "0");
    // The switch shows its box while it is off.
    EXPECT_EQ(preferences->child("及时更新功率")->property("toggle-type"), "'checkmark'");
    EXPECT_EQ(root.child("重置 USB 连接…")->children.at(0).property("enabled"), "false");

    // After a refresh the host reads the new state.
    choices[0]->setState(CheckState::off);
    choices[1]->setState(CheckState::on);
    sampling->setTitle("及时更新功率（暂不可用）");
    card.power = "12.0 W";
    card.onNeedsDisplay();
    spinUntil([] { return false; }, 100);
    root = layout();
    display = root.child("偏好设置")->child("菜单栏显示");
    EXPECT_EQ(display->children[0].property("toggle-state"), "0");
    EXPECT_EQ(display->children[1].property("toggle-state"), "1");
    EXPECT_NE(root.child("偏好设置")->child("及时更新功率（暂不可用）"), nullptr);
    EXPECT_EQ(root.children[0].label, "iPad · 12.0 W · USB-C 1 · 80% · 未充电");
}

TEST_F(TrayMenuExportTest, HostEventsOpenFillCloseAndChooseInOrder) {
    TrayMenuExport exported;
    exported.setMenu(main);
    LayoutEntry root = layout();
    const int resetId = root.child("重置 USB 连接…")->id;

    ASSERT_TRUE(event(0, "opened"));
    ASSERT_TRUE(aboutToShow(resetId));
    spinUntil([] { return false; }, 50);
    // Filled while the host waited; an underscore in a product name is not a mnemonic.
    root = layout();
    const LayoutEntry* target = root.child("重置 USB 连接…")->child("接口 1 · My__Hub（含下游设备）…");
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->property("toggle-type"), "");
    ASSERT_TRUE(event(target->id, "clicked"));
    ASSERT_TRUE(spinUntil([&] { return recorder->log.size() >= 5; }));
    EXPECT_EQ(recorder->log, (std::vector<std::string>{"open main", "open reset", "close reset", "close main",
                                                       "perform 接口 1 · My_Hub（含下游设备）…"}));
    // The host's late "closed" changes nothing more.
    ASSERT_TRUE(event(0, "closed"));
    spinUntil([] { return false; }, 50);
    EXPECT_EQ(recorder->log.size(), 5u);
}

TEST_F(TrayMenuExportTest, TheDesktopsOwnEntryGoesBeforeTheLastItemAndRunsItsAction) {
    TrayMenuExport exported;
    exported.setMenu(main);
    bool opened = false;
    exported.setExtraItem(std::make_shared<MenuItem>("历史", [&opened](MenuItem&) { opened = true; }));
    exported.sync();
    const LayoutEntry root = layout();
    ASSERT_EQ(root.children.size(), 6u);
    EXPECT_EQ(root.children[4].label, "历史");
    EXPECT_EQ(root.children[5].label, "重置 USB 连接…");
    // The application's own menu gains nothing.
    EXPECT_EQ(main->items().size(), 5u);
    ASSERT_TRUE(event(root.children[4].id, "clicked"));
    EXPECT_TRUE(spinUntil([&] { return opened; }));
}

}  // namespace
}  // namespace ampwell::tests
