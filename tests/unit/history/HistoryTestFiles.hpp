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
    // The names in the directory that start with `prefix`, but for SQLite's journal files.
    std::vector<std::string> entries(const std::string& prefix) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root_)) {
            const std::string name = entry.path().filename().string();
            if (name.starts_with(prefix) && !name.ends_with("-wal") && !name.ends_with("-shm")) names.push_back(name);
        }
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
