#pragma once

#include "platform/base/SystemLog.hpp"

#include <functional>
#include <iosfwd>
#include <mutex>
#include <string>

namespace ampwell::platform::sim {

// The simulated system log: each line goes to `out` (standard error by default) behind kPrefix,
// whole, so lines from several threads never mix. Any thread.
class SimSystemLog final : public SystemLog {
public:
    static constexpr const char* kPrefix = "[simulated system log] ";

    SimSystemLog();
    explicit SimSystemLog(std::ostream& out);
    void write(const std::string& line) override;
    // While set, each line goes to `observer` (on the writing thread) instead of the stream.
    void setObserver(std::function<void(const std::string&)> observer);

private:
    std::mutex mutex_;
    std::function<void(const std::string&)> observer_;  // guarded
    std::ostream& out_;
};

}  // namespace ampwell::platform::sim
