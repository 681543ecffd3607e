#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace ampwell {

// What a failed SQLite call left: its primary result code and message.
struct SqliteError {
    int code = 0;
    std::string message;

    // The file is not a database, or its pages contradict each other: it will not get better.
    bool damaged() const;
    // Another connection holds the lock longer than the busy timeout allowed.
    bool busy() const;
};

// One prepared statement; finalized when it goes. Columns and parameters count from 0 and 1 as
// SQLite's own calls do.
class SqliteStatement {
public:
    SqliteStatement() = default;
    explicit SqliteStatement(sqlite3_stmt* statement) : statement_(statement) {}
    ~SqliteStatement();
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    void bind(int index, std::int64_t value);
    void bind(int index, std::optional<std::int64_t> value);
    void bind(int index, std::string_view value);
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step();
    // Ready to run again with new parameters.
    void reset();

    bool isNull(int column) const;
    std::int64_t integer(int column) const;
    std::optional<std::int64_t> optionalInteger(int column) const;
    std::string text(int column) const;

private:
    sqlite3_stmt* statement_ = nullptr;
};

// A connection to one database file, closed when it goes. Single thread: whoever opens it uses
// it alone (the library is built thread-safe, the handle is simply not shared).
class SqliteDatabase {
public:
    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(SqliteDatabase&& other) noexcept;
    SqliteDatabase& operator=(SqliteDatabase&& other) noexcept;
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Opens (creating when missing) the file at `path`, waiting up to `busyMilliseconds` for
    // another connection's lock before a call reports SQLITE_BUSY.
    static std::optional<SqliteDatabase> open(const std::string& path, int busyMilliseconds, SqliteError& error);

    bool isOpen() const { return handle_ != nullptr; }
    // Runs one or more statements that return nothing the caller needs.
    std::optional<SqliteError> execute(const char* sql);
    std::optional<SqliteStatement> prepare(std::string_view sql, SqliteError& error);
    // The first column of the first row of `sql` (a pragma, a count), or nullopt on an error.
    std::optional<std::string> scalarText(const char* sql, SqliteError& error);
    std::int64_t lastInsertRowId() const;
    // Rows the last INSERT, UPDATE or DELETE touched.
    std::int64_t changes() const;
    // The error the last failed call on this connection left.
    SqliteError lastError() const;

private:
    explicit SqliteDatabase(sqlite3* handle) : handle_(handle) {}
    void close();

    sqlite3* handle_ = nullptr;
};

}  // namespace ampwell
