#pragma once

#include "platform/base/Result.hpp"

#include <cstddef>
#include <string>

namespace ampwell::platform {

// The failure readWholeFile reports for a path that names something other than a regular file.
inline constexpr int kNotARegularFile = -1;

// The whole contents of the regular file at `path`, or the errno of the failure (kNotARegularFile
// for a device, pipe, socket or directory). The file is opened without blocking, so a named pipe
// nobody writes to cannot hold the caller for ever, and anything but a regular file is refused
// before it is read: a device such as /dev/zero never ends. A file longer than `maximumSize`
// bytes is not read to its end: it fails with EFBIG, so that a huge or growing file can never
// exhaust memory.
Result<std::string, int> readWholeFile(const std::string& path, std::size_t maximumSize);

// A readWholeFile failure in words for a message, "it is not a regular file" or the errno's text
// ("No such file or directory"); EFBIG names `maximumSize` ("it is larger than 4 MB").
std::string readFailureText(int error, std::size_t maximumSize);

}  // namespace ampwell::platform
