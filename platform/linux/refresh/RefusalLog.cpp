#include "platform/linux/refresh/RefusalLog.hpp"

namespace ampwell::platform::linux_ {

void RefusalLog::refused(std::uint32_t userID, pid_t processID, const std::string& reason) {
    if (log_ == nullptr) return;
    const auto now = Clock::now();
    if (now - windowStart_ >= kWindow) {
        windowStart_ = now;
        linesInWindow_ = 0;
    }
    if (linesInWindow_ == kLinesPerWindow) {
        ++unwritten_;
        return;
    }
    ++linesInWindow_;
    std::string line = "refused uid=" + std::to_string(userID) + " pid=" + std::to_string(processID) + ": " + reason;
    if (unwritten_ > 0) line += " (and " + std::to_string(unwritten_) + " earlier refusals not logged)";
    unwritten_ = 0;
    log_->write(line);
}

}  // namespace ampwell::platform::linux_
