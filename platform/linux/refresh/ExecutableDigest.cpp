#include "platform/linux/refresh/ExecutableDigest.hpp"

#include <glib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

namespace ampwell::platform::linux_ {

std::optional<std::string> sha256OfOpenFile(int fd, std::uint64_t maxBytes) {
    struct stat status {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
    if (static_cast<std::uint64_t>(status.st_size) > maxBytes) return std::nullopt;
    std::unique_ptr<GChecksum, decltype(&g_checksum_free)> checksum(g_checksum_new(G_CHECKSUM_SHA256), g_checksum_free);
    static constexpr std::size_t kChunk = 1 << 16;
    auto buffer = std::make_unique<unsigned char[]>(kChunk);
    std::uint64_t total = 0;
    for (off_t offset = 0;;) {
        const ssize_t count = ::pread(fd, buffer.get(), kChunk, offset);
        if (count < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (count == 0) break;
        total += static_cast<std::uint64_t>(count);
        // The file may grow while it is read; the limit holds for what is actually read.
        if (total > maxBytes) return std::nullopt;
        g_checksum_update(checksum.get(), buffer.get(), count);
        offset += count;
    }
    return std::string(g_checksum_get_string(checksum.get()));
}

std::optional<std::string> sha256OfFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    auto digest = sha256OfOpenFile(fd);
    ::close(fd);
    return digest;
}

}  // namespace ampwell::platform::linux_
