#pragma once

#include "platform/Platform.hpp"
#include "platform/base/PlatformError.hpp"

#include <memory>

namespace ampwell::platform {

// The simulated Mac when `simulationPath` names a file (the value of AMPWELL_SIMULATION),
// otherwise the host's native backend. Throws PlatformError. Only programs include this: it is the
// one place that knows every backend.
std::unique_ptr<Platform> makePlatform(const char* simulationPath);

}  // namespace ampwell::platform
