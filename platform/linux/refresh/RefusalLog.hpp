#pragma once

#include "platform/base/SystemLog.hpp"

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace ampwell::platform::linux_ {

// Tells the system log which peer the refresh listener turned away and why, one line each:
// "refused uid=1000 pid=4242: <reason>". A flood of refusals must not flood the journal: at most
// `kLinesPerWindow` lines are written per window of `kWindow`; the refusals beyond are counted and
// the count is written with the next line that may be written. Without a log it does nothing.
// Listener thread only.
class RefusalLog {
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kLinesPerWindow = 10;
    static constexpr std::chrono::seconds kWindow{10};

    explicit RefusalLog(SystemLog* log = nullptr) : log_(log) {}

    void refused(std::uint32_t userID, pid_t processID, const std::string& reason);

private:
    SystemLog* log_;
    Clock::time_point windowStart_{};
    std::size_t linesInWindow_ = 0;
    std::size_t unwritten_ = 0;
};

}  // namespace ampwell::platform::linux_
