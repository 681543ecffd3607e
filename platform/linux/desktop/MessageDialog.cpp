#include "platform/linux/desktop/MessageDialog.hpp"

#include "platform/linux/desktop/GtkSession.hpp"

#include <gtk/gtk.h>

namespace ampwell::platform::linux_ {

namespace {
constexpr int kFirstResponse = 1000;
GtkWidget* shown = nullptr;
}  // namespace

int runMessageDialog(const std::string& message, const std::string& informative,
                     const std::vector<std::string>& buttons) {
    const std::vector<std::string> labels = buttons.empty() ? std::vector<std::string>{"OK"} : buttons;
    const int last = static_cast<int>(labels.size()) - 1;
    // Without a display nobody can answer: the last button, as when the dialog is dismissed.
    if (!gtkIsReady()) return last;
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
    gtk_widget_show_all(dialog);
    // Come to the front even when another application is active.
    gtk_window_present_with_time(GTK_WINDOW(dialog), GDK_CURRENT_TIME);
    GtkWidget* outer = shown;
    shown = dialog;
    const int response = gtk_dialog_run(GTK_DIALOG(dialog));
    shown = outer;
    gtk_widget_destroy(dialog);
    if (response < kFirstResponse || response > kFirstResponse + last) return last;
    return response - kFirstResponse;
}

void* MessageDialogHandle::current() { return shown; }

bool MessageDialogHandle::answer(int index) {
    if (!shown) return false;
    gtk_dialog_response(GTK_DIALOG(shown), kFirstResponse + index);
    return true;
}

}  // namespace ampwell::platform::linux_
