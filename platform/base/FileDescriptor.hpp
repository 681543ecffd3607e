#pragma once

#include <sys/types.h>

#include <string>

namespace ampwell::platform {

// Owns one open file descriptor and closes it when it goes away, on every path. Move-only.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    // open(2), retried while interrupted. Without a descriptor, errno says why.
    static FileDescriptor open(const std::string& path, int flags, mode_t mode = 0);

    bool valid() const { return fd_ >= 0; }
    explicit operator bool() const { return valid(); }
    int get() const { return fd_; }
    // Gives up ownership without closing.
    int release();
    // Closes the descriptor held (if any) and takes `fd`.
    void reset(int fd = -1);
    // Closes now and reports close(2)'s verdict: 0, or the errno (a write that only fails here).
    int close();

private:
    int fd_ = -1;
};

}  // namespace ampwell::platform
