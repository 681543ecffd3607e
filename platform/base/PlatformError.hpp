#pragma once

#include <stdexcept>

namespace ampwell::platform {

// A platform that cannot be made (a malformed simulation file, a missing backend). The message is
// one line meant for the user. Thrown only while the process starts; everything after start-up
// reports failures as values.
class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace ampwell::platform
