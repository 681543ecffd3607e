#include "platform/drawing/Bitmap.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

namespace ampwell::platform {
namespace {

[[noreturn]] void fail(const std::string& path, int error) {
    throw FileWriteError("cannot write " + path + ": " + std::strerror(error));
}

}  // namespace

void writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file) fail(path, errno);
    if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file.get()) != bytes.size()) fail(path, errno);
    if (std::fflush(file.get()) != 0) fail(path, errno);
    // Closing can be where a full disk first shows.
    if (std::fclose(file.release()) != 0) fail(path, errno);
}

}  // namespace ampwell::platform
