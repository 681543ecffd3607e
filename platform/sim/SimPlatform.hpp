#pragma once

#include "platform/Platform.hpp"

#include <memory>
#include <string>

namespace ampwell::platform::sim {

// The virtual Mac described by the simulation file at `path`. Throws PlatformError with one line
// naming the file, the JSON path at fault and what is wrong.
std::unique_ptr<Platform> makeSimulatedPlatform(const std::string& path);

}  // namespace ampwell::platform::sim
