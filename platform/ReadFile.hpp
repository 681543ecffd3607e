#pragma once

#include "platform/Result.hpp"

#include <cstddef>
#include <string>

namespace ampwell::platform {

// The whole contents of the file at `path`, or the errno of the failure. A file longer than
// `maximumSize` bytes is not read to its end: it fails with EFBIG, so that a huge or endless file
// (a device node, a runaway log) can never exhaust memory.
Result<std::string, int> readWholeFile(const std::string& path, std::size_t maximumSize);

}  // namespace ampwell::platform
