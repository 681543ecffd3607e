#pragma once

#include "platform/base/SystemLog.hpp"

#include <string>

namespace ampwell::platform::linux_ {

// The system log through the systemd journal; standard error where no journal listens.
// Thread-safe.
class JournalLog final : public SystemLog {
public:
    static constexpr const char* kJournalSocket = "/run/systemd/journal/socket";

    // `journalSocket` is looked for before each line is sent: where it is missing, nothing would
    // receive the line. Tests name a place where nothing listens.
    explicit JournalLog(std::string identifier, std::string journalSocket = kJournalSocket);
    void write(const std::string& line) override;

private:
    std::string identifier_;
    std::string journalSocket_;
};

}  // namespace ampwell::platform::linux_
