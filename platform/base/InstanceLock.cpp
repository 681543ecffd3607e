#include "platform/base/InstanceLock.hpp"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>

namespace ampwell::platform {

FileInstanceLock::FileInstanceLock(std::string directory) : directory_(std::move(directory)) {}

bool FileInstanceLock::acquire(const std::string& bundleIdentifier) {
    if (lock_) return true;
    const std::string path = directory_ + "/" + bundleIdentifier + ".lock";
    FileDescriptor file = FileDescriptor::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // A lock file that cannot be made says nothing about another instance; run rather than refuse.
    if (!file) return true;
    int rc;
    do {
        rc = ::flock(file.get(), LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) return errno != EWOULDBLOCK;
    lock_ = std::move(file);
    return true;
}

}  // namespace ampwell::platform
