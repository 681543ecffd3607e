#pragma once

#include "platform/base/Result.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ampwell {

// Who the daemon serves: connections whose effective user ID is `allowedPowerRefreshUID`, from
// the one client executable that `allowedPowerRefreshRequirement` names by its digest.
//
// Both values are fixed when the daemon is installed. A source build takes them from its CMake
// settings (fromBuildSettings). A package cannot: it does not know its user, and it strips the
// client after building it. It reads them at start-up from two root-owned files instead
// (fromInstalledFiles): the administrator's configuration naming the user, and the digest of the
// stripped client, written by the package build. The build setting AMPWELL_DAEMON_CONFIGURATION
// picks the source.
struct AllowedClient {
    std::uint32_t allowedPowerRefreshUID = 0;
    // `sha256 H"<64 hex digits>"`, see platform::CodeRequirement.
    std::string allowedPowerRefreshRequirement;

    // AMPWELL_ALLOWED_UID and the SHA-256 of the ampwell executable this build installs (or
    // AMPWELL_CLIENT_SHA256 when given). Defined by a file the build generates, so that only the
    // daemon program carries these values.
    static AllowedClient fromBuildSettings();

    struct InstalledFiles {
        // Lines "user=<name or numeric ID>"; "#" starts a comment line.
        std::string configurationPath;
        // "<64 hex digits>  <client path>", as sha256sum writes it.
        std::string clientDigestPath;
    };
    struct Trust {
        // Whether a file may be believed: root-owned, regular, not writable by group or others.
        std::function<bool(const std::string& path)> isProtectedFile;
        // The ID of a user name; nullopt when there is no such user.
        std::function<std::optional<std::uint32_t>(const std::string& name)> userID;
    };
    // The system's answers: PowerRefreshService::isProtectedRegularFile and the user database.
    static Trust systemTrust();

    // Both values from the installed files, or, when either file is missing, not protected,
    // malformed or names no known user, one line for the journal saying which file and what is
    // wrong. Never a default user.
    static platform::Result<AllowedClient, std::string> fromInstalledFiles(const InstalledFiles& files,
                                                                           const Trust& trust);
};

}  // namespace ampwell
