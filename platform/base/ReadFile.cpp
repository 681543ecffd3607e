#include "platform/base/ReadFile.hpp"

#include "platform/base/FileDescriptor.hpp"

#include <fmt/format.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ampwell::platform {

Result<std::string, int> readWholeFile(const std::string& path, std::size_t maximumSize) {
    const FileDescriptor file = FileDescriptor::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (!file) return Failure{errno};
    struct stat info {};
    if (::fstat(file.get(), &info) != 0) return Failure{errno};
    if (!S_ISREG(info.st_mode)) return Failure{kNotARegularFile};
    std::string contents;
    char buffer[65536];
    for (;;) {
        const ssize_t count = ::read(file.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return Failure{errno};
        if (count == 0) return contents;
        if (static_cast<std::size_t>(count) > maximumSize - contents.size()) return Failure{EFBIG};
        contents.append(buffer, static_cast<std::size_t>(count));
    }
}

std::string readFailureText(int error, std::size_t maximumSize) {
    if (error == kNotARegularFile) return "it is not a regular file";
    if (error == EFBIG) {
        if (maximumSize >= (std::size_t{1} << 20)) return fmt::format("it is larger than {} MB", maximumSize >> 20);
        return fmt::format("it is larger than {} bytes", maximumSize);
    }
    return std::strerror(error);
}

}  // namespace ampwell::platform
