#pragma once

#include "platform/Platform.hpp"
#include "platform/base/PlatformError.hpp"

#include <memory>
#include <string>

namespace ampwell::platform::linux_ {

// Where the Linux platform finds the machine and the user's files. Defaults are the real ones.
struct LinuxPlatformOptions {
    std::string sysfsRoot;         // empty: the system's sysfs
    std::string procRoot;          // empty: the system's /proc
    std::string defaultsPath;      // empty: $XDG_CONFIG_HOME/ampwell/defaults.json
    std::string runtimeDirectory;  // empty: $XDG_RUNTIME_DIR, else a private /tmp/ampwell-<uid>
};

// The host's own hardware. Throws PlatformError when the backend cannot start.
std::unique_ptr<Platform> makeLinuxPlatform();
std::unique_ptr<Platform> makeLinuxPlatform(const LinuxPlatformOptions& options);

}  // namespace ampwell::platform::linux_
