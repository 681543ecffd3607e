#include "platform/InstanceLock.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace ampwell::platform {

FileInstanceLock::FileInstanceLock(std::string directory) : directory_(std::move(directory)) {}

FileInstanceLock::~FileInstanceLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool FileInstanceLock::acquire(const std::string& bundleIdentifier) {
    if (fd_ >= 0) return true;
    const std::string path = directory_ + "/" + bundleIdentifier + ".lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file that cannot be made says nothing about another instance; run rather than refuse.
    if (fd < 0) return true;
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(fd);
        return !held;
    }
    fd_ = fd;
    return true;
}

}  // namespace ampwell::platform
