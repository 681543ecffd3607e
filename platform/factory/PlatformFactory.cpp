#include "platform/factory/PlatformFactory.hpp"

#include "platform/linux/LinuxPlatform.hpp"
#include "platform/sim/SimPlatform.hpp"

namespace ampwell::platform {

std::unique_ptr<Platform> makePlatform(const char* simulationPath) {
    if (simulationPath != nullptr && *simulationPath != '\0') return sim::makeSimulatedPlatform(simulationPath);
    return linux_::makeLinuxPlatform();
}

}  // namespace ampwell::platform
