#include "platform/base/FileDescriptor.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace ampwell::platform {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

FileDescriptor FileDescriptor::open(const std::string& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = ::open(path.c_str(), flags, mode);
    } while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

int FileDescriptor::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void FileDescriptor::reset(int fd) {
    if (fd_ >= 0) {
        // The errno of a close nobody asked about must not overwrite the one a caller reads next.
        const int saved = errno;
        ::close(fd_);
        errno = saved;
    }
    fd_ = fd;
}

int FileDescriptor::close() {
    if (fd_ < 0) return 0;
    const int rc = ::close(release());
    return rc == 0 ? 0 : errno;
}

}  // namespace ampwell::platform
