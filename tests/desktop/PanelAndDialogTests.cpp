#include "BusHelpers.hpp"

#include "platform/linux/desktop/GtkAlertPresenter.hpp"
#include "platform/linux/desktop/MessageDialog.hpp"
#include "platform/linux/desktop/PanelWindow.hpp"

#include <gtest/gtest.h>
#include <gtk/gtk.h>

namespace ampwell::tests {
namespace {

using platform::Alert;
using platform::linux_::answerMessageDialog;
using platform::linux_::GtkAlertPresenter;
using platform::linux_::GtkSession;
using platform::linux_::PanelRow;
using platform::linux_::PanelWindow;

TEST(GtkAlertPresenter, ShowsOneDialogAtATimeAnswersInOrderAndKeepsTheLoopRunning) {
    GtkSession gtk;
    GtkAlertPresenter alerts(gtk);
    int shownBefore = 0;
    alerts.beforeShowing = [&] { ++shownBefore; };
    std::vector<std::pair<int, std::size_t>> answers;  // (alert, button)
    const Alert confirm{"要重置 iPad 的 USB 连接吗？", "这会短暂中断所选设备", {"重置此连接", "取消"}};
    alerts.present(confirm, [&](std::size_t b) { answers.emplace_back(1, b); });
    alerts.present(confirm, [&](std::size_t b) {
        answers.emplace_back(2, b);
        // Presented from an answer: shown after the one already waiting.
        alerts.present({"已发送 iPad USB 重置请求", "", {"知道了"}},
                       [&](std::size_t c) { answers.emplace_back(4, c); });
    });
    alerts.present(confirm, [&](std::size_t b) { answers.emplace_back(3, b); });
    // present() returned at once: the first dialog is up, two wait behind it.
    GtkWidget* first = alerts.shownDialog();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(alerts.waiting(), 2u);
    EXPECT_TRUE(gtk_window_get_modal(GTK_WINDOW(first)));
    GtkWidget* def = gtk_dialog_get_widget_for_response(GTK_DIALOG(first), 1000);
    ASSERT_NE(def, nullptr);
    EXPECT_STREQ(gtk_button_get_label(GTK_BUTTON(def)), "重置此连接");

    // Posted work and timers run while a dialog is open.
    bool timerRan = false;
    g_timeout_add(
        20,
        [](gpointer data) -> gboolean {
            *static_cast<bool*>(data) = true;
            return G_SOURCE_REMOVE;
        },
        &timerRan);
    EXPECT_TRUE(spinUntil([&] { return timerRan; }, 2000));
    EXPECT_TRUE(answers.empty());

    // The first button is the default: activating the default answers with it.
    gtk_window_activate_default(GTK_WINDOW(first));
    ASSERT_TRUE(spinUntil([&] { return answers.size() == 1 && alerts.shownDialog() != nullptr; }));
    answerMessageDialog(alerts.shownDialog(), 1);
    ASSERT_TRUE(spinUntil([&] { return answers.size() == 2 && alerts.shownDialog() != nullptr; }));
    // Closed without a button: the last one, which changes nothing.
    gtk_dialog_response(GTK_DIALOG(alerts.shownDialog()), GTK_RESPONSE_DELETE_EVENT);
    ASSERT_TRUE(spinUntil([&] { return answers.size() == 3 && alerts.shownDialog() != nullptr; }));
    answerMessageDialog(alerts.shownDialog(), 0);
    ASSERT_TRUE(spinUntil([&] { return answers.size() == 4; }));
    EXPECT_EQ(answers, (std::vector<std::pair<int, std::size_t>>{{1, 0}, {2, 1}, {3, 1}, {4, 0}}));
    EXPECT_EQ(alerts.shownDialog(), nullptr);
    EXPECT_EQ(shownBefore, 4);
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
