#include "platform/NativeDesktop.hpp"

namespace ampwell::platform {

// The Linux tray desktop (a StatusNotifierItem with an exported menu, GTK dialogs and desktop
// notifications) plugs in here: its factory looks for a tray host on the session bus and returns
// null when there is none. Until it is built in, no desktop can be reached and every run is
// headless.
NativeDesktopFactory nativeDesktopFactory() { return {}; }

}  // namespace ampwell::platform
