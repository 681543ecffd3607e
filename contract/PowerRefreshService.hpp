#pragma once

#include <cstdint>
#include <string>

// What the application and the privileged refresh daemon agree on. Compiled into both programs.
namespace ampwell::PowerRefreshService {

// The service's name: the daemon's job label and the name a client connects to.
inline constexpr const char* name = "local.ampwell.refresh";

// Where the daemon is installed on a Mac (the simulated Mac uses these).
inline constexpr const char* helperPath = "/Library/PrivilegedHelperTools/local.ampwell.refresh";
inline constexpr const char* launchDaemonPath = "/Library/LaunchDaemons/local.ampwell.refresh.plist";

// The two files whose presence and protection mean "the component is installed": the daemon's
// executable and the job description that starts it on demand.
struct InstalledPaths {
    std::string helperPath;
    std::string launchDaemonPath;
};

// The Mac's layout above.
InstalledPaths macInstalledPaths();
// A source or package install on Linux: `<prefix>/libexec/ampwell/ampwelld` and, in place of the
// launchd job, the systemd socket unit `<prefix>/lib/systemd/system/ampwelld.socket`, with the
// prefix the build was configured with.
InstalledPaths linuxInstalledPaths();

// The single datum a reply carries: an IOKit-style result code. "No reply" is an absent value,
// never a number.
using Status = std::uint32_t;
inline constexpr Status kIOReturnSuccess = 0;
// The daemon's previous accepted request was less than 2 seconds ago, or the client still has a
// request in flight: nothing was done, try later. Never a success, never a failure.
inline constexpr Status kIOReturnBusy = 0xE00002D5;
// The daemon found no battery manager.
inline constexpr Status kIOReturnNotFound = 0xE00002F0;

// Success as the client counts it: 0 or 1.
inline constexpr bool isSuccess(Status status) { return status < 2; }

// True exactly when the file at `path` is, judged without following a final symbolic link, a
// regular file owned by root that neither its group nor others may write. A link, a directory,
// a file owned by anyone else, or a file whose status cannot be read gives false.
bool isProtectedRegularFile(const std::string& path);

}  // namespace ampwell::PowerRefreshService
