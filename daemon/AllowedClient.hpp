#pragma once

#include <cstdint>
#include <string>

namespace ampwell {

// Who the daemon serves: connections whose effective user ID is `allowedPowerRefreshUID`, from
// the one client executable that `allowedPowerRefreshRequirement` names by its digest.
//
// Both values are fixed when the daemon is installed. A source build takes them from its CMake
// settings (fromBuildSettings). Packages are to add a second source, a root-owned configuration
// file read at start-up; it belongs next to fromBuildSettings, and main() picks between them.
struct AllowedClient {
    std::uint32_t allowedPowerRefreshUID = 0;
    // `sha256 H"<64 hex digits>"`, see platform::CodeRequirement.
    std::string allowedPowerRefreshRequirement;

    // AMPWELL_ALLOWED_UID and the SHA-256 of the ampwell executable this build installs (or
    // AMPWELL_CLIENT_SHA256 when given). Defined by a file the build generates, so that only the
    // daemon program carries these values.
    static AllowedClient fromBuildSettings();
};

}  // namespace ampwell
