#include "platform/linux/JournalLog.hpp"

#include <sys/stat.h>
#include <syslog.h>
#include <systemd/sd-journal.h>
#include <unistd.h>

namespace ampwell::platform::linux_ {

namespace {

bool isSocket(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISSOCK(info.st_mode);
}

}  // namespace

JournalLog::JournalLog(std::string identifier, std::string journalSocket)
    : identifier_(std::move(identifier)), journalSocket_(std::move(journalSocket)) {}

void JournalLog::write(const std::string& line) {
    // Without a journal socket sd_journal_send drops the line and still reports success, so the
    // socket is looked for first (on every line: the journal may start or stop meanwhile).
    if (isSocket(journalSocket_)) {
        const int result = sd_journal_send("MESSAGE=%s", line.c_str(), "PRIORITY=%i", LOG_NOTICE,
                                           "SYSLOG_IDENTIFIER=%s", identifier_.c_str(), nullptr);
        if (result >= 0) return;
    }
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
