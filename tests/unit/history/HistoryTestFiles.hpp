#pragma once

#include "platform/base/SystemLog.hpp"

#include <stdlib.h>

#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

namespace ampwell::test {

// A fresh private directory for one test's history files, removed at the end.
class HistoryDirectory {
public:
    HistoryDirectory() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ampwell-history-XXXXXX").string();
        root_ = ::mkdtemp(pattern.data());
    }
    ~HistoryDirectory() { std::filesystem::remove_all(root_); }
    HistoryDirectory(const HistoryDirectory&) = delete;
    HistoryDirectory& operator=(const HistoryDirectory&) = delete;

    std::string path(const std::string& name) const { return (root_ / name).string(); }
    // The names in the directory that start with `prefix`.
    std::vector<std::string> entries(const std::string& prefix) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root_))
            if (entry.path().filename().string().starts_with(prefix)) names.push_back(entry.path().filename().string());
        return names;
    }

private:
    std::filesystem::path root_;
};

// Keeps the lines written to the log, from any thread.
class RecordingLog : public platform::SystemLog {
public:
    void write(const std::string& line) override {
        const std::lock_guard lock(mutex_);
        lines_.push_back(line);
    }
    std::vector<std::string> lines() {
        const std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    std::mutex mutex_;
    std::vector<std::string> lines_;
};

}  // namespace ampwell::test
