#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/desktop/Desktop.hpp"

#include <memory>
#include <string>

namespace ampwell::platform::linux_ {

// Why the Linux desktop cannot be shown in this session, as one line for standard error; empty
// when it can. It needs an X11 or Wayland display GTK can open, a session bus, and, when
// `needTrayHost` (the automatic choice), a StatusNotifierWatcher on that bus. Sets the locale from
// the environment, as GTK would; GTK itself comes up with the first panel or dialog (GtkSession).
// Main thread, before the loop runs.
std::string linuxDesktopUnavailableReason(bool needTrayHost);

// The Linux desktop: a StatusNotifierItem with a dbusmenu menu, the drawn GTK panel on a left
// click, GTK dialogs and desktop notifications, all on GLib's default main context, the one the
// Linux backend's main queue runs. Call only after linuxDesktopUnavailableReason answered empty.
// Throws std::runtime_error when the tray item cannot be exported.
std::unique_ptr<Desktop> makeLinuxDesktop(MainQueue& queue, const Clock& clock);

}  // namespace ampwell::platform::linux_
