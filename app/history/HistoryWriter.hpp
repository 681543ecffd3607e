#pragma once

#include "app/history/HistoryRows.hpp"
#include "app/history/HistoryStore.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/SerialQueue.hpp"
#include "platform/base/SystemLog.hpp"

#include <mutex>

namespace ampwell {

// Writes rows to the history store on a thread of its own, so that the main loop only appends to
// a list: whatever arrives while a write is under way goes into the next transaction together.
// Opening the file, setting a damaged one aside and waiting for another process's lock all happen
// there too. Ending it writes what is still pending.
class HistoryWriter {
public:
    static constexpr const char* kQueueLabel = "local.ampwell.history";

    explicit HistoryWriter(HistoryStoreOptions options, platform::SystemLog& log);
    HistoryWriter(const HistoryWriter&) = delete;
    HistoryWriter& operator=(const HistoryWriter&) = delete;

    // Queues `rows` (taken at `now`) for the next write. Any thread; returns at once.
    void submit(HistoryRows rows, platform::Date now);
    // Returns once everything submitted before it is written (or found unwritable).
    void drain();

    const std::string& path() const { return store_.path(); }

private:
    void writePending();

    HistoryStore store_;  // touched only on queue_
    // The queue's thread runs on the wall clock: it touches nothing of the machine, so a frozen
    // simulated clock need not hold its time back for every write (drain() waits where it must).
    platform::SystemClock wallClock_;
    std::mutex mutex_;
    HistoryRows pending_;
    platform::Date pendingAt_;
    bool scheduled_ = false;
    platform::SerialQueue queue_;  // last: its thread ends (writing what is queued) before the rest goes
};

}  // namespace ampwell
