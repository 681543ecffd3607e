#include "BusHelpers.hpp"
#include "StandInWatcher.hpp"

#include "platform/linux/desktop/IconRaster.hpp"
#include "platform/linux/desktop/StatusNotifierItem.hpp"

#include <cairo.h>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace ampwell::tests {
namespace {

using platform::linux_::StatusNotifierItem;

constexpr const char* kItemInterface = "org.kde.StatusNotifierItem";

GDBusConnection* session() { return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr); }

std::string stringProperty(GDBusConnection* peer, const std::string& name, const char* property) {
    GVariant* value = getProperty(peer, name, StatusNotifierItem::kObjectPath, kItemInterface, property);
    if (!value) return "<missing>";
    std::string text = g_variant_get_string(value, nullptr);
    g_variant_unref(value);
    return text;
}

// The names other than unique ones that `owner` holds on the bus, asked from `peer`.
std::vector<std::string> wellKnownNamesOf(GDBusConnection* peer, const std::string& owner) {
    std::vector<std::string> held;
    GVariant* names = callAndWait(peer, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                  "ListNames", nullptr);
    if (!names) return {"<ListNames failed>"};
    g_autofree const gchar** all = nullptr;
    g_variant_get(names, "(^a&s)", &all);
    for (const gchar** name = all; name && *name; ++name) {
        if ((*name)[0] == ':') continue;
        GVariant* reply = callAndWait(peer, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
                                      "GetNameOwner", g_variant_new("(s)", *name));
        if (!reply) continue;
        const gchar* unique = nullptr;
        g_variant_get(reply, "(&s)", &unique);
        if (owner == unique) held.emplace_back(*name);
        g_variant_unref(reply);
    }
    g_variant_unref(names);
    return held;
}

TEST(StatusNotifierItem, RegistersWithTheWatcherAndExportsItsProperties) {
    StandInWatcher watcher;
    ASSERT_TRUE(watcher.waitUntilOwned());
    GDBusConnection* bus = session();
    StatusNotifierItem item(bus, "ampwell", "/MenuBar");
    ASSERT_TRUE(spinUntil([&] { return item.isRegistered(); }));
    ASSERT_EQ(watcher.registered().size(), 1u);
    // Registered by the name that cannot change owner, and known by no other: GNOME's AppIndicator
    // extension drops an item it finds under a well-known name.
    EXPECT_EQ(watcher.registered()[0], g_dbus_connection_get_unique_name(bus));
    EXPECT_EQ(item.busName(), g_dbus_connection_get_unique_name(bus));
    EXPECT_EQ(wellKnownNamesOf(watcher.connection(), item.busName()), std::vector<std::string>{});

    item.setTitle("Ampwell");
    item.setToolTip("Ampwell", "iPad 80% · 上限保护，暂停充电");
    item.setLabel(" iPad 8.4 W", " iPad 88.8 W");
    GDBusConnection* peer = watcher.connection();
    EXPECT_EQ(stringProperty(peer, item.busName(), "Id"), "ampwell");
    EXPECT_EQ(stringProperty(peer, item.busName(), "Status"), "Passive");
    EXPECT_EQ(stringProperty(peer, item.busName(), "XAyatanaLabel"), " iPad 8.4 W");
    GVariant* menu = getProperty(peer, item.busName(), StatusNotifierItem::kObjectPath, kItemInterface, "Menu");
    ASSERT_NE(menu, nullptr);
    EXPECT_STREQ(g_variant_get_string(menu, nullptr), "/MenuBar");
    g_variant_unref(menu);
    GVariant* tip = getProperty(peer, item.busName(), StatusNotifierItem::kObjectPath, kItemInterface, "ToolTip");
    ASSERT_NE(tip, nullptr);
    const gchar* title = nullptr;
    const gchar* body = nullptr;
    g_variant_get(tip, "(&s@a(iiay)&s&s)", nullptr, nullptr, &title, &body);
    EXPECT_STREQ(body, "iPad 80% · 上限保护，暂停充电");
    g_variant_unref(tip);

    // Every declared property comes in one GetAll with its declared type: a host's proxy drops a
    // mistyped one, and a host that then finds Id or Menu missing drops the item.
    GVariant* all = callAndWait(peer, item.busName(), StatusNotifierItem::kObjectPath,
                                "org.freedesktop.DBus.Properties", "GetAll", g_variant_new("(s)", kItemInterface));
    ASSERT_NE(all, nullptr);
    g_autoptr(GVariant) properties = g_variant_get_child_value(all, 0);
    g_variant_unref(all);
    const std::vector<std::pair<const char*, const char*>> declared = {{"Category", "s"},
                                                                       {"Id", "s"},
                                                                       {"Title", "s"},
                                                                       {"Status", "s"},
                                                                       {"WindowId", "i"},
                                                                       {"IconThemePath", "s"},
                                                                       {"IconName", "s"},
                                                                       {"IconPixmap", "a(iiay)"},
                                                                       {"OverlayIconName", "s"},
                                                                       {"OverlayIconPixmap", "a(iiay)"},
                                                                       {"AttentionIconName", "s"},
                                                                       {"AttentionIconPixmap", "a(iiay)"},
                                                                       {"AttentionMovieName", "s"},
                                                                       {"ToolTip", "(sa(iiay)ss)"},
                                                                       {"ItemIsMenu", "b"},
                                                                       {"Menu", "o"},
                                                                       {"XAyatanaLabel", "s"},
                                                                       {"XAyatanaLabelGuide", "s"},
                                                                       {"XAyatanaOrderingIndex", "u"}};
    for (const auto& [name, type] : declared) {
        g_autoptr(GVariant) value = g_variant_lookup_value(properties, name, nullptr);
        ASSERT_NE(value, nullptr) << name;
        EXPECT_STREQ(g_variant_get_type_string(value), type) << name;
    }
    g_object_unref(bus);
}

TEST(StatusNotifierItem, AnnouncesStatusChangesAndForwardsClicks) {
    StandInWatcher watcher;
    ASSERT_TRUE(watcher.waitUntilOwned());
    GDBusConnection* bus = session();
    StatusNotifierItem item(bus, "ampwell", "/MenuBar");
    ASSERT_TRUE(spinUntil([&] { return item.isRegistered(); }));

    std::vector<std::string> statuses;
    const unsigned subscription = g_dbus_connection_signal_subscribe(
        watcher.connection(), nullptr, kItemInterface, "NewStatus", StatusNotifierItem::kObjectPath, nullptr,
        G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* args, gpointer data) {
            const gchar* status = nullptr;
            g_variant_get(args, "(&s)", &status);
            static_cast<std::vector<std::string>*>(data)->emplace_back(status);
        },
        &statuses, nullptr);
    item.setVisible(true);
    item.setVisible(true);  // no change, no signal
    item.setVisible(false);
    EXPECT_TRUE(spinUntil([&] { return statuses.size() == 2; }));
    EXPECT_EQ(statuses, (std::vector<std::string>{"Active", "Passive"}));

    int activatedAt = -1;
    int contextAt = -1;
    item.onActivate = [&](int x, int) { activatedAt = x; };
    item.onContextMenu = [&](int x, int) { contextAt = x; };
    GVariant* reply = callAndWait(watcher.connection(), item.busName(), StatusNotifierItem::kObjectPath, kItemInterface,
                                  "Activate", g_variant_new("(ii)", 120, 5));
    ASSERT_NE(reply, nullptr);
    g_variant_unref(reply);
    reply = callAndWait(watcher.connection(), item.busName(), StatusNotifierItem::kObjectPath, kItemInterface,
                        "ContextMenu", g_variant_new("(ii)", 7, 5));
    ASSERT_NE(reply, nullptr);
    g_variant_unref(reply);
    EXPECT_EQ(activatedAt, 120);
    EXPECT_EQ(contextAt, 7);
    g_dbus_connection_signal_unsubscribe(watcher.connection(), subscription);
    g_object_unref(bus);
}

TEST(StatusNotifierItem, RegistersAgainWhenThePanelRestarts) {
    GDBusConnection* bus = session();
    auto watcher = std::make_unique<StandInWatcher>();
    ASSERT_TRUE(watcher->waitUntilOwned());
    StatusNotifierItem item(bus, "ampwell", "/MenuBar");
    ASSERT_TRUE(spinUntil([&] { return item.isRegistered(); }));
    watcher.reset();
    ASSERT_TRUE(spinUntil([&] { return !item.isRegistered(); }));
    watcher = std::make_unique<StandInWatcher>();
    ASSERT_TRUE(watcher->waitUntilOwned());
    EXPECT_TRUE(spinUntil([&] { return item.isRegistered(); }));
    EXPECT_EQ(watcher->registered().size(), 1u);
    g_object_unref(bus);
}

// A host switched on while the program runs owns the watcher's name a moment before it serves
// it; the item must not give up on the first refusal.
TEST(StatusNotifierItem, TriesAgainWhenTheHostRefusesTheFirstRegistrations) {
    GDBusConnection* bus = session();
    StandInWatcher watcher(2);
    ASSERT_TRUE(watcher.waitUntilOwned());
    StatusNotifierItem item(bus, "ampwell", "/MenuBar");
    EXPECT_TRUE(spinUntil([&] { return item.isRegistered(); }));
    EXPECT_EQ(watcher.registered().size(), 1u);
    g_object_unref(bus);
}

TEST(IconRaster, PixmapsAreStraightAlphaInNetworkByteOrder) {
    // Half-transparent pure red over the whole icon.
    auto pixmaps = platform::linux_::rasterizeIcon(14, 14,
                                                   [](cairo_t* cr) {
                                                       cairo_set_source_rgba(cr, 1, 0, 0, 0.5);
                                                       cairo_paint(cr);
                                                       return true;
                                                   },
                                                   {16, 32});
    ASSERT_EQ(pixmaps.size(), 2u);
    EXPECT_EQ(pixmaps[1].width, 32);
    ASSERT_EQ(pixmaps[0].argb.size(), 16u * 16u * 4u);
    const std::size_t centre = (8 * 16 + 8) * 4;
    EXPECT_NEAR(pixmaps[0].argb[centre], 128, 1);  // alpha first
    EXPECT_EQ(pixmaps[0].argb[centre + 1], 255);   // red, not premultiplied to 128
    EXPECT_EQ(pixmaps[0].argb[centre + 2], 0);
    EXPECT_EQ(pixmaps[0].argb[centre + 3], 0);
    // A failed drawing gives no pixmaps rather than an empty icon.
    EXPECT_TRUE(platform::linux_::rasterizeIcon(14, 16, [](cairo_t*) { return false; }).empty());
}

TEST(StatusNotifierItem, ExportsEveryPixmapSize) {
    StandInWatcher watcher;
    ASSERT_TRUE(watcher.waitUntilOwned());
    GDBusConnection* bus = session();
    StatusNotifierItem item(bus, "ampwell", "/MenuBar");
    auto pixmaps = platform::linux_::rasterizeIcon(14, 16, [](cairo_t* cr) {
        cairo_rectangle(cr, 1, 1, 12, 14);
        cairo_fill(cr);
        return true;
    });
    item.setIcon(pixmaps, "ampwell-normal", "/tmp/icons");
    GVariant* value = getProperty(watcher.connection(), item.busName(), StatusNotifierItem::kObjectPath, kItemInterface,
                                  "IconPixmap");
    ASSERT_NE(value, nullptr);
    std::vector<int> sizes;
    GVariantIter iter;
    g_variant_iter_init(&iter, value);
    gint32 w = 0, h = 0;
    GVariant* bytes = nullptr;
    while (g_variant_iter_next(&iter, "(ii@ay)", &w, &h, &bytes)) {
        EXPECT_EQ(g_variant_get_size(bytes), static_cast<gsize>(w * h * 4));
        sizes.push_back(w);
        g_variant_unref(bytes);
    }
    g_variant_unref(value);
    EXPECT_EQ(sizes, platform::linux_::kTrayIconSizes);
    EXPECT_EQ(stringProperty(watcher.connection(), item.busName(), "IconName"), "ampwell-normal");
    EXPECT_EQ(stringProperty(watcher.connection(), item.busName(), "IconThemePath"), "/tmp/icons");
    g_object_unref(bus);
}

}  // namespace
}  // namespace ampwell::tests
