#include "platform/linux/desktop/MessageDialog.hpp"

#include <gtk/gtk.h>

#include <memory>

namespace ampwell::platform::linux_ {

namespace {

constexpr int kFirstResponse = 1000;

struct Pending {
    int last = 0;
    std::function<void(int)> answered;
};

void responded(GtkDialog* dialog, int response, gpointer) {
    // Taken out first: a second response (a click racing Escape) finds nothing to answer.
    std::unique_ptr<Pending> pending(static_cast<Pending*>(g_object_steal_data(G_OBJECT(dialog), "pending")));
    if (!pending) return;
    const int chosen = response < kFirstResponse || response > kFirstResponse + pending->last
                           ? pending->last
                           : response - kFirstResponse;
    gtk_widget_destroy(GTK_WIDGET(dialog));
    if (pending->answered) pending->answered(chosen);
}

}  // namespace

GtkWidget* showMessageDialog(const std::string& message, const std::string& informative,
                             const std::vector<std::string>& buttons, std::function<void(int)> answered) {
    const std::vector<std::string> labels = buttons.empty() ? std::vector<std::string>{"OK"} : buttons;
    GtkWidget* dialog = gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, GTK_MESSAGE_INFO, GTK_BUTTONS_NONE, "%s",
                                               message.c_str());
    if (!informative.empty()) {
        gtk_message_dialog_format_secondary_text(GTK_MESSAGE_DIALOG(dialog), "%s", informative.c_str());
    }
    gtk_window_set_title(GTK_WINDOW(dialog), "Ampwell");
    for (std::size_t i = 0; i < labels.size(); ++i) {
        gtk_dialog_add_button(GTK_DIALOG(dialog), labels[i].c_str(), kFirstResponse + static_cast<int>(i));
    }
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), kFirstResponse);
    gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
    gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
    gtk_window_set_urgency_hint(GTK_WINDOW(dialog), TRUE);
    g_object_set_data_full(G_OBJECT(dialog), "pending",
                           new Pending{static_cast<int>(labels.size()) - 1, std::move(answered)},
                           [](gpointer data) { delete static_cast<Pending*>(data); });
    g_signal_connect(dialog, "response", G_CALLBACK(responded), nullptr);
    gtk_widget_show_all(dialog);
    // Come to the front even when another application is active.
    gtk_window_present_with_time(GTK_WINDOW(dialog), GDK_CURRENT_TIME);
    return dialog;
}

void answerMessageDialog(GtkWidget* dialog, int index) {
    gtk_dialog_response(GTK_DIALOG(dialog), kFirstResponse + index);
}

}  // namespace ampwell::platform::linux_
