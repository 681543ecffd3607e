#include "platform/sim/SimPlatform.hpp"

namespace ampwell::platform::sim {

std::unique_ptr<Platform> makeSimulatedPlatform(const std::string& path) {
    throw PlatformError(path + ": the simulated Mac is not built yet");
}

}  // namespace ampwell::platform::sim
