#include "platform/linux/UserDirectories.hpp"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace ampwell::platform::linux_ {

namespace {

bool absolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string passwordHome(unsigned userID) {
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(userID, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        absolute(found->pw_dir))
        return found->pw_dir;
    return "/";
}

}  // namespace

UserDirectories UserDirectories::resolve(const char* xdgConfigHome, const char* xdgRuntimeDir, const char* home,
                                         unsigned userID, const char* xdgStateHome) {
    UserDirectories directories;
    const auto inHome = [&](const char* below) {
        std::string base = absolute(home) ? std::string(home) : passwordHome(userID);
        if (base.size() > 1 && base.back() == '/') base.pop_back();
        return (base == "/" ? std::string() : base) + below;
    };
    directories.configHome = absolute(xdgConfigHome) ? std::string(xdgConfigHome) : inHome("/.config");
    directories.stateHome = absolute(xdgStateHome) ? std::string(xdgStateHome) : inHome("/.local/state");
    if (absolute(xdgRuntimeDir)) {
        directories.runtimeDirectory = xdgRuntimeDir;
    } else {
        directories.runtimeDirectory = "/tmp/ampwell-" + std::to_string(userID);
    }
    return directories;
}

UserDirectories UserDirectories::fromEnvironment() {
    return resolve(std::getenv("XDG_CONFIG_HOME"), std::getenv("XDG_RUNTIME_DIR"), std::getenv("HOME"), ::geteuid(),
                   std::getenv("XDG_STATE_HOME"));
}

bool preparePrivateDirectory(const std::string& path, unsigned userID) {
    ::mkdir(path.c_str(), 0700);
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return false;
    return S_ISDIR(info.st_mode) && info.st_uid == userID && (info.st_mode & 077) == 0;
}

}  // namespace ampwell::platform::linux_
