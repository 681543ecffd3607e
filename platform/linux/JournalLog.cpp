#include "platform/linux/JournalLog.hpp"

#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace ampwell::platform::linux_ {

JournalLog::JournalLog(std::string identifier) : identifier_(std::move(identifier)) {}

void JournalLog::write(const std::string& line) {
    const int result = sd_journal_send("MESSAGE=%s", line.c_str(), "PRIORITY=%i", LOG_NOTICE, "SYSLOG_IDENTIFIER=%s",
                                       identifier_.c_str(), nullptr);
    if (result >= 0) return;
    // One write call per line, so lines from several threads never interleave.
    const std::string text = identifier_ + ": " + line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(STDERR_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace ampwell::platform::linux_
