#include "platform/linux/desktop/GtkSession.hpp"

#include <gtk/gtk.h>

#include <iostream>

namespace ampwell::platform::linux_ {

bool displayOpens() {
    // GDK reads its environment (GDK_GL among it) only here or in gtk_init: a display opened
    // before that probes OpenGL and keeps the GL driver loaded, tens of megabytes, for good.
    gdk_parse_args(nullptr, nullptr);
    GdkDisplay* display = gdk_display_open(nullptr);
    if (!display) return false;
    gdk_display_close(display);
    return true;
}

bool GtkSession::ready() {
    if (state_ == State::untried) {
        state_ = gtk_init_check(nullptr, nullptr) ? State::ready : State::failed;
        if (state_ == State::failed)
            std::cerr << "ampwell: the panel and the dialogs cannot be shown: the display cannot be opened"
                      << std::endl;
    }
    return state_ == State::ready;
}

}  // namespace ampwell::platform::linux_
