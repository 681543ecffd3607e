#include "platform/linux/desktop/GtkSession.hpp"

#include <gtk/gtk.h>

#include <iostream>

namespace ampwell::platform::linux_ {

bool displayOpens() {
    GdkDisplay* display = gdk_display_open(nullptr);
    if (!display) return false;
    gdk_display_close(display);
    return true;
}

bool gtkIsReady() {
    enum class State { untried, ready, failed };
    static State state = State::untried;
    if (state == State::untried) {
        state = gtk_init_check(nullptr, nullptr) ? State::ready : State::failed;
        if (state == State::failed)
            std::cerr << "ampwell: the panel and the dialogs cannot be shown: the display cannot be opened"
                      << std::endl;
    }
    return state == State::ready;
}

}  // namespace ampwell::platform::linux_
