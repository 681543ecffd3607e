#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace ampwell::platform::linux_ {

// Executables larger than this are not digested: no client is that big, and a peer must not be
// able to keep the daemon busy hashing a huge file.
inline constexpr std::uint64_t kLargestDigestedExecutable = 512ull * 1024 * 1024;

// The SHA-256, as 64 lower-case hex digits, of the whole file open at `fd` (read from offset 0,
// the file position is left alone). nullopt when it cannot be read or is larger than `maxBytes`.
std::optional<std::string> sha256OfOpenFile(int fd, std::uint64_t maxBytes = kLargestDigestedExecutable);
// The same for the file at `path` (a final symbolic link is followed, as exec would).
std::optional<std::string> sha256OfFile(const std::string& path);

}  // namespace ampwell::platform::linux_
