#pragma once

#include "app/history/HistoryLease.hpp"
#include "app/history/HistoryRows.hpp"
#include "app/history/HistoryStore.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/SerialQueue.hpp"
#include "platform/base/SystemLog.hpp"

#include <mutex>
#include <optional>

namespace ampwell {

// Writes rows to the history store on a thread of its own, so that the main loop only appends to
// a list. Rows are gathered for up to kFlushInterval (or kFlushRows) and written in one
// transaction: a transaction costs more than the rows in it, and a crash loses at most those few
// minutes. Opening the file, setting a damaged one aside and waiting for another process's lock
// all happen on that thread too. drain() and ending it write what is still pending.
class HistoryWriter {
public:
    static constexpr const char* kQueueLabel = "local.ampwell.history";
    static constexpr platform::Seconds kFlushInterval{300.0};
    static constexpr std::size_t kFlushRows = 1000;

    explicit HistoryWriter(HistoryStoreOptions options, platform::SystemLog& log);
    ~HistoryWriter();
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // Queues `rows` (taken at `now`) for the next write. Any thread; returns at once. False when
    // another program writes this history (see HistoryLease): the rows are dropped, since that
    // program records the same devices.
    bool submit(HistoryRows rows, platform::Date now);
    // Returns once everything submitted before it is written (or found unwritable).
    void drain();

    const std::string& path() const { return store_.path(); }

private:
    void writePending();
    // Queues a write of what is pending unless one is queued already. Holds mutex_.
    void scheduleLocked();

    const bool leased_;
    HistoryStore store_;  // touched only on queue_
    HistoryLease lease_;  // under mutex_
    // The queue's thread runs on the wall clock: it touches nothing of the machine, so a frozen
    // simulated clock need not hold its time back for every write (drain() waits where it must).
    platform::SystemClock wallClock_;
    std::mutex mutex_;
    HistoryRows pending_;
    platform::Date pendingAt_;
    std::optional<platform::Date> lastFlush_;
    bool scheduled_ = false;
    platform::SerialQueue queue_;  // last: its thread ends (writing what is queued) before the rest goes
};

}  // namespace ampwell
