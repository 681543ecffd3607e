#include "platform/sim/SimSystemLog.hpp"

#include <iostream>

namespace ampwell::platform::sim {

SimSystemLog::SimSystemLog() : out_(std::cerr) {}

SimSystemLog::SimSystemLog(std::ostream& out) : out_(out) {}

void SimSystemLog::setObserver(std::function<void(const std::string&)> observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void SimSystemLog::write(const std::string& line) {
    std::function<void(const std::string&)> observer;
    {
        std::lock_guard lock(mutex_);
        observer = observer_;
    }
    if (observer) {
        observer(line);
        return;
    }
    // A line break inside the text would let one entry pass for two.
    std::string text = kPrefix;
    for (char c : line) text += (c == '\n' || c == '\r') ? ' ' : c;
    text += '\n';
    std::lock_guard lock(mutex_);
    out_ << text << std::flush;
}

}  // namespace ampwell::platform::sim
