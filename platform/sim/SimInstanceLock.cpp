#include "platform/sim/SimInstanceLock.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ampwell::platform::sim {

SimInstanceLock::SimInstanceLock(std::string directory, bool mustBePrivate, SystemLog& log)
    : directory_(std::move(directory)), mustBePrivate_(mustBePrivate), log_(log), lock_(directory_) {}

bool SimInstanceLock::acquire(const std::string& bundleIdentifier) {
    if (::mkdir(directory_.c_str(), 0700) != 0 && errno != EEXIST) {
        log_.write("instance lock: cannot make " + directory_ + ": " + std::strerror(errno));
        return true;
    }
    if (mustBePrivate_) {
        // Someone else's directory (or a link planted in its place) could hand the lock file to
        // another user.
        struct stat info {};
        if (::lstat(directory_.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::geteuid() ||
            (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
            log_.write("instance lock: " + directory_ + " is not a private directory of this user; not locking");
            return true;
        }
    }
    return lock_.acquire(bundleIdentifier);
}

std::string SimInstanceLock::defaultDirectory(const char* runtimeDirectory, const char* temporaryDirectory) {
    if (runtimeDirectory != nullptr && runtimeDirectory[0] == '/') return std::string(runtimeDirectory) + "/ampwell-simulation";
    const std::string base = temporaryDirectory != nullptr && temporaryDirectory[0] == '/' ? temporaryDirectory : "/tmp";
    return base + "/ampwell-simulation-" + std::to_string(::geteuid());
}

}  // namespace ampwell::platform::sim
