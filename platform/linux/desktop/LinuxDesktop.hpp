#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/desktop/Desktop.hpp"

#include <memory>
#include <string>

namespace ampwell::platform::linux_ {

// How long after start the user is told that no tray host has appeared (TrayHostNotice).
inline constexpr unsigned kTrayHostGraceMilliseconds = 10000;

// The Linux desktop: a StatusNotifierItem with a dbusmenu menu, the drawn GTK panel on a left
// click, GTK dialogs and desktop notifications, all on GLib's default main context, the one the
// Linux backend's main queue runs. It needs an X11 or Wayland display GTK can open and a session
// bus; a tray host need not be running yet: the item registers with every one that appears.
// Answers null and sets `whyNot` (one line for standard error) when the display or the bus
// cannot be reached. Sets the locale from the environment, as GTK would; GTK itself comes up
// with the first panel or dialog (GtkSession). Main thread, before the loop runs.
// Throws std::runtime_error when the tray item cannot be exported.
std::unique_ptr<Desktop> makeLinuxDesktop(MainQueue& queue, const Clock& clock, std::string& whyNot);

}  // namespace ampwell::platform::linux_
