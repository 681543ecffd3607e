#include "platform/linux/desktop/NativeDesktop.hpp"

#include "platform/Platform.hpp"
#include "platform/linux/desktop/LinuxDesktop.hpp"

#include <cstdlib>
#include <iostream>
#include <stdexcept>
#include <string>

namespace ampwell::platform {

// The Linux tray desktop. Asked for by name (AMPWELL_UI=desktop) it needs a display and a session
// bus, and the item waits for a tray host to appear; chosen automatically it also needs a tray
// host already running. When it cannot be shown the answer is null and the caller says so.
NativeDesktopFactory nativeDesktopFactory() {
    return [](Platform& platform) -> std::unique_ptr<Desktop> {
        const char* ui = std::getenv("AMPWELL_UI");
        const bool automatic = !ui || !*ui;
        if (!linux_::linuxDesktopUnavailableReason(automatic).empty()) return nullptr;
        try {
            return linux_::makeLinuxDesktop(platform.mainQueue(), platform.clock());
        } catch (const std::runtime_error& error) {
            std::cerr << "ampwell: the desktop cannot be shown: " << error.what() << std::endl;
            return nullptr;
        }
    };
}

}  // namespace ampwell::platform
