#include "BusHelpers.hpp"
#include "StandInWatcher.hpp"

#include "app/ui/PowerMenuUI.hpp"
#include "platform/linux/desktop/IconRaster.hpp"
#include "platform/linux/desktop/TrayStatusBar.hpp"

#include <glib/gstdio.h>
#include <gtest/gtest.h>

namespace ampwell::tests {
namespace {

using platform::linux_::StatusNotifierItem;
using platform::linux_::TrayStatusBar;

constexpr const char* kItem = "org.kde.StatusNotifierItem";

std::string text(GDBusConnection* peer, const std::string& name, const char* property) {
    GVariant* value = getProperty(peer, name, StatusNotifierItem::kObjectPath, kItem, property);
    if (!value) return "<missing>";
    gchar* printed = g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) ? g_variant_dup_string(value, nullptr)
                                                                        : g_variant_print(value, FALSE);
    std::string out = printed;
    g_free(printed);
    g_variant_unref(value);
    return out;
}

TEST(TrayStatusBar, ShowsTheStatusItemAsTheTrayItem) {
    StandInWatcher watcher;
    ASSERT_TRUE(watcher.waitUntilOwned());
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    gchar* icons = g_dir_make_tmp("ampwell-icons-XXXXXX", nullptr);
    ASSERT_NE(icons, nullptr);
    {
        TrayStatusBar bar(bus, icons);
        auto item = bar.statusItem(16.0);
        ASSERT_TRUE(spinUntil([&] { return bar.tray().isRegistered(); }));
        const std::string name = bar.tray().busName();
        GDBusConnection* peer = watcher.connection();
        EXPECT_EQ(text(peer, name, "Status"), "Passive");  // a new item starts hidden

        {
            platform::StatusItem::Changes changes(*item);
            item->setImage(indicatorIcon(IndicatorState::low));
            item->setTitle(" iPad 8.4 W");
            item->setAccessibilityLabel("iPad 80% · 上限保护 · 8.40 W");
            item->setToolTip("iPad 80% · 上限保护 · 8.40 W\n电量暂时稳定\n达到 80% 上限…");
            item->setVisible(true);
        }
        EXPECT_EQ(text(peer, name, "Status"), "Active");
        EXPECT_EQ(text(peer, name, "XAyatanaLabel"), "iPad 8.4 W");
        EXPECT_EQ(text(peer, name, "ToolTip"),
                  "('', [], 'iPad 8.4 W', 'iPad 80% · 上限保护 · 8.40 W\\n电量暂时稳定\\n达到 80% 上限…')");
        EXPECT_EQ(text(peer, name, "IconName"), "ampwell-low");
        EXPECT_EQ(text(peer, name, "IconThemePath"), icons);
        EXPECT_TRUE(g_file_test((std::string(icons) + "/ampwell-low.png").c_str(), G_FILE_TEST_EXISTS));

        // The drawn icon is yellow, not an empty square.
        GVariant* pixmaps = getProperty(peer, name, StatusNotifierItem::kObjectPath, kItem, "IconPixmap");
        ASSERT_NE(pixmaps, nullptr);
        EXPECT_EQ(g_variant_n_children(pixmaps), platform::linux_::kTrayIconSizes.size());
        GVariant* largest = g_variant_get_child_value(pixmaps, g_variant_n_children(pixmaps) - 1);
        GVariant* bytes = g_variant_get_child_value(largest, 2);
        gsize size = 0;
        const auto* argb = static_cast<const guint8*>(g_variant_get_fixed_array(bytes, &size, 1));
        int yellow = 0;
        for (gsize i = 0; i + 3 < size; i += 4) yellow += argb[i] > 200 && argb[i + 1] > 200 && argb[i + 3] < 80;
        EXPECT_GT(yellow, 20);
        g_variant_unref(bytes);
        g_variant_unref(largest);
        g_variant_unref(pixmaps);

        item->setVisible(false);
        EXPECT_EQ(text(peer, name, "Status"), "Passive");
        item.reset();
    }
    gchar* png = g_build_filename(icons, "ampwell-low.png", nullptr);
    g_remove(png);
    g_free(png);
    g_rmdir(icons);
    g_free(icons);
    g_object_unref(bus);
}

}  // namespace
}  // namespace ampwell::tests
