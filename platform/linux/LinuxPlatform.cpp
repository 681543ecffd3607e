#include "platform/linux/LinuxPlatform.hpp"

namespace ampwell::platform::linux_ {

std::unique_ptr<Platform> makeLinuxPlatform() {
    throw PlatformError(
        "the Linux backend is not built yet; set AMPWELL_SIMULATION to a simulation file "
        "(for example examples/desk.json)");
}

}  // namespace ampwell::platform::linux_
