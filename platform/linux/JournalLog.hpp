#pragma once

#include "platform/SystemLog.hpp"

#include <string>

namespace ampwell::platform::linux_ {

// The system log through the systemd journal; standard error where no journal listens.
// Thread-safe.
class JournalLog final : public SystemLog {
public:
    explicit JournalLog(std::string identifier);
    void write(const std::string& line) override;

private:
    std::string identifier_;
};

}  // namespace ampwell::platform::linux_
