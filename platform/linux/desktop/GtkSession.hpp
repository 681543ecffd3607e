#pragma once

namespace ampwell::platform::linux_ {

// GTK is brought up when it is first needed: the tray item, its menu and the notifications speak
// D-Bus only, and a GTK that is up adds its display connection, its settings and its theme to the
// process for good, and to every turn of the idle loop. Only the panel and the dialogs need it.
// Main thread only.

// Whether the default display (X11 or Wayland) can be opened. It is closed again; GTK is not
// initialised.
bool displayOpens();

// GTK for one desktop: brought up by the first ready(), kept up from then on.
class GtkSession {
public:
    // True once GTK is up; the first call brings it up. When that fails, writes one line on
    // standard error and answers false from then on.
    bool ready();

private:
    enum class State { untried, ready, failed };
    State state_ = State::untried;
};

}  // namespace ampwell::platform::linux_
