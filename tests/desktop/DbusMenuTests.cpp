#include "BusHelpers.hpp"

#include "platform/linux/desktop/DbusMenuServer.hpp"

#include <gtest/gtest.h>

#include <map>

namespace ampwell::tests {
namespace {

using platform::linux_::DbusMenuNode;
using platform::linux_::DbusMenuServer;

constexpr const char* kMenuInterface = "com.canonical.dbusmenu";

struct Exported {
    std::string label;
    std::map<std::string, GVariant*> properties;
    std::vector<Exported> children;
};

Exported parse(GVariant* node) {
    Exported out;
    gint32 id = 0;
    GVariant* props = nullptr;
    GVariant* children = nullptr;
    g_variant_get(node, "(i@a{sv}@av)", &id, &props, &children);
    GVariantIter iter;
    g_variant_iter_init(&iter, props);
    const gchar* key = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_next(&iter, "{&sv}", &key, &value)) out.properties[key] = value;
    if (out.properties.count("label")) out.label = g_variant_get_string(out.properties["label"], nullptr);
    g_variant_iter_init(&iter, children);
    GVariant* child = nullptr;
    while (g_variant_iter_next(&iter, "v", &child)) {
        out.children.push_back(parse(child));
        g_variant_unref(child);
    }
    g_variant_unref(props);
    g_variant_unref(children);
    return out;
}

class DbusMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
        peer = openPeerConnection();
        name = g_dbus_connection_get_unique_name(bus);
    }
    void TearDown() override {
        g_object_unref(peer);
        g_object_unref(bus);
    }

    Exported layout() {
        GVariant* reply = nullptr;
        // The server exports itself once the bus connection is ready; ask until it answers.
        spinUntil([&] {
            reply = callAndWait(peer, name, path, kMenuInterface, "GetLayout",
                                g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
            return reply != nullptr;
        });
        if (!reply) return {};
        GVariant* root = g_variant_get_child_value(reply, 1);
        Exported out = parse(root);
        g_variant_unref(root);
        g_variant_unref(reply);
        return out;
    }

    bool event(int id, const char* what) {
        GVariant* reply = callAndWait(peer, name, path, kMenuInterface, "Event",
                                      g_variant_new("(isvu)", id, what, g_variant_new_int32(0), 0u));
        if (reply) g_variant_unref(reply);
        return reply != nullptr;
    }

    GDBusConnection* bus = nullptr;
    GDBusConnection* peer = nullptr;
    std::string name;
    std::string path = "/MenuBar";
};

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

    Exported root = layout();
    ASSERT_EQ(root.children.size(), 3u);
    EXPECT_EQ(root.children[0].label, "立即刷新");
    ASSERT_TRUE(root.children[0].properties.count("shortcut"));
    gchar* shortcut = g_variant_print(root.children[0].properties["shortcut"], FALSE);
    EXPECT_STREQ(shortcut, "[['Control', 'r']]");
    g_free(shortcut);
    ASSERT_TRUE(root.children[1].properties.count("type"));
    EXPECT_STREQ(g_variant_get_string(root.children[1].properties["type"], nullptr), "separator");
    const Exported& sub = root.children[2];
    EXPECT_STREQ(g_variant_get_string(sub.properties.at("children-display"), nullptr), "submenu");
    ASSERT_EQ(sub.children.size(), 2u);
    EXPECT_STREQ(g_variant_get_string(sub.children[0].properties.at("toggle-type"), nullptr), "radio");
    EXPECT_EQ(g_variant_get_int32(sub.children[0].properties.at("toggle-state")), 1);
    EXPECT_EQ(g_variant_get_int32(sub.children[1].properties.at("toggle-state")), 0);
    EXPECT_FALSE(g_variant_get_boolean(sub.children[1].properties.at("enabled")));

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
    GVariant* reply = callAndWait(peer, name, path, kMenuInterface, "AboutToShow", g_variant_new("(i)", reset.id()));
    ASSERT_NE(reply, nullptr);
    g_variant_unref(reply);
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
