#include "platform/linux/desktop/NativeDesktop.hpp"

#include "platform/Platform.hpp"
#include "platform/linux/desktop/LinuxDesktop.hpp"

#include <iostream>
#include <stdexcept>
#include <string>

namespace ampwell::platform {

// The Linux tray desktop, whenever a display and a session bus can be reached (asked for by name
// with AMPWELL_UI=desktop, or chosen automatically): its item waits for a tray host and appears
// when one starts. When it cannot be shown the answer is null and the caller says so.
NativeDesktopFactory nativeDesktopFactory() {
    return [](Platform& platform) -> std::unique_ptr<Desktop> {
        try {
            // The caller says, in one line, that the desktop cannot be reached.
            std::string whyNot;
            return linux_::makeLinuxDesktop(platform.mainQueue(), platform.clock(), whyNot);
        } catch (const std::runtime_error& error) {
            std::cerr << "ampwell: the desktop cannot be shown: " << error.what() << std::endl;
            return nullptr;
        }
    };
}

}  // namespace ampwell::platform
