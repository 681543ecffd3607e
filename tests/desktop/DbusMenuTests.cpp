#include "MenuHostTest.hpp"

#include "platform/linux/desktop/DbusMenuServer.hpp"

#include <gtest/gtest.h>

namespace ampwell::tests {
namespace {

using platform::linux_::DbusMenuNode;
using platform::linux_::DbusMenuServer;

using DbusMenuTest = MenuHostTest;

TEST_F(DbusMenuTest, ExportsLabelsTogglesShortcutsAndSubmenus) {
    DbusMenuServer server(path);
    DbusMenuNode refresh;
    refresh.setLabel("立即刷新");
    refresh.setShortcut({"Control", "r"});
    DbusMenuNode separator(true);
    DbusMenuNode display;
    display.setLabel("菜单栏显示");
    display.setSubmenu(true);
    DbusMenuNode icon;
    icon.setLabel("仅小图标 · iPad 状态");
    icon.setToggle(DbusMenuNode::Toggle::radio, true);
    DbusMenuNode total;
    total.setLabel("所有接口合计");
    total.setToggle(DbusMenuNode::Toggle::radio, false);
    total.setEnabled(false);
    display.append(icon);
    display.append(total);
    server.root().append(refresh);
    server.root().append(separator);
    server.root().append(display);

    LayoutEntry root = layout();
    ASSERT_EQ(root.children.size(), 3u);
    EXPECT_EQ(root.children[0].label, "立即刷新");
    EXPECT_EQ(root.children[0].property("shortcut"), "[['Control', 'r']]");
    EXPECT_EQ(root.children[1].property("type"), "'separator'");
    const LayoutEntry& sub = root.children[2];
    EXPECT_EQ(sub.property("children-display"), "'submenu'");
    ASSERT_EQ(sub.children.size(), 2u);
    EXPECT_EQ(sub.children[0].property("toggle-type"), "'radio'");
    EXPECT_EQ(sub.children[0].property("toggle-state"), "1");
    EXPECT_EQ(sub.children[1].property("toggle-state"), "0");
    EXPECT_EQ(sub.children[1].property("enabled"), "false");

    // A removed node leaves the exported layout.
    display.remove(total);
    EXPECT_EQ(layout().children[2].children.size(), 1u);
}

TEST_F(DbusMenuTest, HostEventsReachTheNodes) {
    DbusMenuServer server(path);
    DbusMenuNode refresh;
    refresh.setLabel("立即刷新");
    DbusMenuNode reset;
    reset.setLabel("重置 USB 连接…");
    reset.setSubmenu(true);
    server.root().append(refresh);
    server.root().append(reset);
    int clicks = 0, filled = 0, opened = 0, closed = 0;
    refresh.onClicked = [&] { ++clicks; };
    reset.onAboutToShow = [&] { ++filled; };
    server.root().onOpened = [&] { ++opened; };
    server.root().onClosed = [&] { ++closed; };
    ASSERT_EQ(layout().children.size(), 2u);

    ASSERT_TRUE(event(refresh.id(), "clicked"));
    EXPECT_TRUE(spinUntil([&] { return clicks == 1; }));
    ASSERT_TRUE(aboutToShow(reset.id()));
    EXPECT_EQ(filled, 1);
    ASSERT_TRUE(event(0, "opened"));
    ASSERT_TRUE(event(0, "closed"));
    EXPECT_TRUE(spinUntil([&] { return opened == 1 && closed == 1; }));
    // A disabled entry cannot be chosen, whatever the host sends.
    refresh.setEnabled(false);
    ASSERT_TRUE(event(refresh.id(), "clicked"));
    spinUntil([] { return false; }, 100);
    EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace ampwell::tests
