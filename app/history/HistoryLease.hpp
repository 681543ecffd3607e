#pragma once

#include <string>

namespace ampwell {

// Which of the programs recording one history file writes it. The tray and the metrics server
// watch the same devices; were both to write, every row would be there twice. The lease is an
// exclusive flock on a file beside the database: the kernel lets go of it when its holder ends,
// however it ends, and the other program takes it at its next try.
class HistoryLease {
public:
    // The lease of the database at `databasePath`.
    explicit HistoryLease(const std::string& databasePath);
    ~HistoryLease();
    HistoryLease(const HistoryLease&) = delete;
    HistoryLease& operator=(const HistoryLease&) = delete;

    // True while this one holds the lease, trying to take it when not; never waits. A lease
    // file that cannot be opened coordinates nothing, and then everyone writes.
    bool held();

private:
    std::string path_;
    int fd_ = -1;
    bool held_ = false;
};

}  // namespace ampwell
