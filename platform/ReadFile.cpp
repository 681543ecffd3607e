#include "platform/ReadFile.hpp"

#include "platform/FileDescriptor.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace ampwell::platform {

Result<std::string, int> readWholeFile(const std::string& path, std::size_t maximumSize) {
    const FileDescriptor file = FileDescriptor::open(path, O_RDONLY | O_CLOEXEC);
    if (!file) return Failure{errno};
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

}  // namespace ampwell::platform
