#pragma once

#include "app/history/HistoryRows.hpp"
#include "app/history/SqliteDatabase.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/SystemLog.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace ampwell {

struct HistoryStoreOptions {
    std::string path;
    platform::Seconds retention{30.0 * 86400.0};
    // Past this many bytes of used pages the oldest rows go, a tenth of the span at a time.
    std::int64_t maxBytes = 32LL * 1024 * 1024;
    // How long a write waits for another process (the tray and the metrics server share the file)
    // before the file counts as stuck.
    int busyMilliseconds = 5000;
    // Whether a writer first takes the file's lease (HistoryLease), so that of the programs
    // watching the same devices only one writes. Off for a mode that plays a day into a file of its
    // own making: nobody else has that day to write.
    bool leased = true;
};

// Makes every missing directory above `path`, mode 0700: what a user charged says about them is
// theirs alone.
void makePrivateParentDirectories(const std::string& path);

// The history database: opens it on first use, brings its layout up to date, writes batches of
// rows in one transaction each and reads a window back. A file that is not a database, is
// damaged or stays locked is renamed aside (with its journal files) with a line to the log, and a
// new one is started; a file a newer release wrote is left alone and nothing is written. No call
// throws or stops the caller for longer than the busy timeout: history is never worth the rest.
//
// One thread at a time (the writer's queue, or a mode that only reads).
class HistoryStore {
public:
    HistoryStore(HistoryStoreOptions options, platform::SystemLog& log);

    // Writes `rows` in one transaction, then drops what retention and the size bound say must
    // go. False when the rows could not be written (no usable file).
    bool write(const HistoryRows& rows, platform::Date now);
    // The rows with from <= time <= to, in time order; empty when there is no usable file.
    HistoryRows read(platform::Date from, platform::Date to);
    // Why the last read found no usable file (damaged, locked past the wait, not a database);
    // nothing when it read one, however few rows it held.
    const std::optional<std::string>& readFailure() const { return readFailure_; }
    // Bytes the file's used pages take (the file less its free pages); 0 without a file.
    std::int64_t usedBytes();

    const std::string& path() const { return options_.path; }

private:
    // Whether a usable connection is open, opening (and setting aside) as needed.
    bool ready(platform::Date now);
    std::optional<SqliteError> openAndMigrate();
    void setAside(const SqliteError& error, platform::Date now);
    std::optional<SqliteError> insert(const HistoryRows& rows);
    std::optional<std::int64_t> connectionId(int kind, const std::string& serial, const std::string& name,
                                             const std::string& port, const std::string& connection,
                                             SqliteError& error);
    void prune(platform::Date now);
    // Drops the oldest tenth of the span until the file is within its bound; the rows dropped.
    std::int64_t dropOldest();
    // The statement for `sql`, prepared once per connection: parsing costs more than a row.
    SqliteStatement* statement(const char* sql, SqliteError& error);
    void closeDatabase();

    HistoryStoreOptions options_;
    platform::SystemLog& log_;
    SqliteDatabase database_;
    bool newerRelease_ = false;
    std::map<std::string, std::int64_t> connectionIds_;
    std::map<const char*, SqliteStatement> statements_;  // by the address of their text
    std::optional<platform::Date> lastRetention_;
    std::optional<std::string> readFailure_;
};

}  // namespace ampwell
