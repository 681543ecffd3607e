#pragma once

#include "platform/Platform.hpp"

#include <memory>

namespace ampwell::platform::linux_ {

// The host's own hardware. Throws PlatformError when the backend cannot start.
std::unique_ptr<Platform> makeLinuxPlatform();

}  // namespace ampwell::platform::linux_
