#pragma once

#include <string>

namespace ampwell::platform {

// The system log. Any thread.
class SystemLog {
public:
    virtual ~SystemLog() = default;
    virtual void write(const std::string& line) = 0;
};

}  // namespace ampwell::platform
