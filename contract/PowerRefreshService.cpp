#include "contract/PowerRefreshService.hpp"

#include <sys/stat.h>

#ifndef AMPWELL_INSTALL_PREFIX
#error "the build passes the install prefix as AMPWELL_INSTALL_PREFIX"
#endif

namespace ampwell::PowerRefreshService {

InstalledPaths macInstalledPaths() { return InstalledPaths{helperPath, launchDaemonPath}; }

InstalledPaths linuxInstalledPaths() {
    const std::string prefix = AMPWELL_INSTALL_PREFIX;
    return InstalledPaths{prefix + "/libexec/ampwell/ampwelld", prefix + "/lib/systemd/system/ampwelld.socket"};
}

bool isProtectedRegularFile(const std::string& path) {
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0) return false;
    return status.st_uid == 0 && S_ISREG(status.st_mode) && (status.st_mode & 0022) == 0;
}

}  // namespace ampwell::PowerRefreshService
