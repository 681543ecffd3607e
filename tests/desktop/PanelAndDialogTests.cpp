#include "BusHelpers.hpp"

#include "platform/linux/desktop/MessageDialog.hpp"
#include "platform/linux/desktop/PanelWindow.hpp"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace ampwell::tests {
namespace {

using platform::linux_::MessageDialogHandle;
using platform::linux_::PanelRow;
using platform::linux_::PanelWindow;
using platform::linux_::runMessageDialog;

// Answers the dialog that the code under test is about to show, from inside its nested loop.
void answerSoon(std::function<void()> answer) {
    g_timeout_add_full(G_PRIORITY_DEFAULT, 50, [](gpointer data) -> gboolean {
        auto* fn = static_cast<std::function<void()>*>(data);
        if (!MessageDialogHandle::current()) return G_SOURCE_CONTINUE;
        (*fn)();
        return G_SOURCE_REMOVE;
    }, new std::function<void()>(std::move(answer)), [](gpointer data) { delete static_cast<std::function<void()>*>(data); });
}

TEST(MessageDialog, ReturnsTheChosenButtonAndTreatsClosingAsTheLast) {
    answerSoon([] {
        GtkWidget* dialog = static_cast<GtkWidget*>(MessageDialogHandle::current());
        // The first button is the default: activating the default answers with it.
        EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(dialog)));
        GtkWidget* def = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), 1000);
        ASSERT_NE(def, nullptr);
        EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(def)), "重置此连接");
        gtk_window_activate_default(GTK_WINDOW(dialog));
    });
    EXPECT_EQ(runMessageDialog("要重置 iPad 的 USB 连接吗？", "这会短暂中断所选设备", {"重置此连接", "取消"}), 0);
    answerSoon([] { MessageDialogHandle::answer(1); });
    EXPECT_EQ(runMessageDialog("要重置 iPad 的 USB 连接吗？", "", {"重置此连接", "取消"}), 1);
    answerSoon([] { gtk_dialog_response(GTK_DIALOG(MessageDialogHandle::current()), GTK_RESPONSE_DELETE_EVENT); });
    EXPECT_EQ(runMessageDialog("要重置 iPad 的 USB 连接吗？", "", {"重置此连接", "取消"}), 1);
    EXPECT_EQ(MessageDialogHandle::current(), nullptr);
}

TEST(PanelWindow, ClosesOnEscapeAndRunsAButtonAfterClosing) {
    PanelWindow panel;
    int shown = 0, hidden = 0, drawn = 0;
    bool closedBeforeAction = false;
    panel.onShown = [&] { ++shown; };
    panel.onHidden = [&] { ++hidden; };
    auto rows = [&] {
        PanelRow view;
        view.kind = PanelRow::Kind::drawn;
        view.width = 360;
        view.height = 126;
        view.draw = [&](cairo_t*, bool) { ++drawn; };
        PanelRow refresh;
        refresh.title = "立即刷新";
        refresh.shortcut = "Ctrl+R";
        refresh.onClick = [&] { closedBeforeAction = !panel.isShown(); };
        return std::vector<PanelRow>{view, refresh};
    };
    panel.show(rows(), 200, 10);
    EXPECT_TRUE(panel.isShown());
    EXPECT_TRUE(spinUntil([&] { return drawn > 0; }));

    GdkEvent* key = gdk_event_new(GDK_KEY_PRESS);
    key->key.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(panel.window())));
    key->key.keyval = GDK_KEY_Escape;
    gtk_widget_event(panel.window(), key);
    gdk_event_free(key);
    EXPECT_FALSE(panel.isShown());
    EXPECT_EQ(hidden, 1);

    panel.show(rows(), 200, 10);
    // Find the button and click it.
    GtkWidget* box = gtk_bin_get_child(GTK_BIN(panel.window()));
    GList* children = gtk_container_get_children(GTK_CONTAINER(box));
    GtkWidget* button = GTK_WIDGET(g_list_nth_data(children, 1));
    g_list_free(children);
    ASSERT_TRUE(GTK_IS_BUTTON(button));
    gtk_button_clicked(GTK_BUTTON(button));
    EXPECT_TRUE(closedBeforeAction);
    EXPECT_EQ(shown, 2);
    EXPECT_EQ(hidden, 2);
}

}  // namespace
}  // namespace ampwell::tests
