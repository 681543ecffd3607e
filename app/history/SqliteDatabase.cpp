#include "app/history/SqliteDatabase.hpp"

#include <sqlite3.h>

#include <utility>

namespace ampwell {

bool SqliteError::damaged() const {
    const int primary = code & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

bool SqliteError::busy() const {
    const int primary = code & 0xff;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(statement_); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : statement_(std::exchange(other.statement_, nullptr)) {}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept {
    if (this != &other) {
        sqlite3_finalize(statement_);
        statement_ = std::exchange(other.statement_, nullptr);
    }
    return *this;
}

void SqliteStatement::bind(int index, std::int64_t value) { sqlite3_bind_int64(statement_, index, value); }

void SqliteStatement::bind(int index, std::optional<std::int64_t> value) {
    if (value)
        sqlite3_bind_int64(statement_, index, *value);
    else
        sqlite3_bind_null(statement_, index);
}

void SqliteStatement::bind(int index, std::string_view value) {
    sqlite3_bind_text(statement_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
}

int SqliteStatement::step() { return sqlite3_step(statement_); }

void SqliteStatement::reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
}

bool SqliteStatement::isNull(int column) const { return sqlite3_column_type(statement_, column) == SQLITE_NULL; }

std::int64_t SqliteStatement::integer(int column) const { return sqlite3_column_int64(statement_, column); }

std::optional<std::int64_t> SqliteStatement::optionalInteger(int column) const {
    if (isNull(column)) return std::nullopt;
    return integer(column);
}

std::string SqliteStatement::text(int column) const {
    const unsigned char* value = sqlite3_column_text(statement_, column);
    if (value == nullptr) return {};
    return {reinterpret_cast<const char*>(value), static_cast<std::size_t>(sqlite3_column_bytes(statement_, column))};
}

SqliteDatabase::~SqliteDatabase() { close(); }

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}

SqliteDatabase& SqliteDatabase::operator=(SqliteDatabase&& other) noexcept {
    if (this != &other) {
        close();
        handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
}

void SqliteDatabase::close() {
    // close_v2 defers the close until every statement is finalized, so the order in which the
    // owner's members go does not matter.
    if (handle_ != nullptr) sqlite3_close_v2(handle_);
    handle_ = nullptr;
}

std::optional<SqliteDatabase> SqliteDatabase::open(const std::string& path, int busyMilliseconds, SqliteError& error) {
    sqlite3* handle = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    const int status = sqlite3_open_v2(path.c_str(), &handle, flags, nullptr);
    SqliteDatabase database(handle);
    if (status != SQLITE_OK) {
        error = handle != nullptr ? database.lastError() : SqliteError{status, sqlite3_errstr(status)};
        return std::nullopt;
    }
    sqlite3_extended_result_codes(handle, 1);
    sqlite3_busy_timeout(handle, busyMilliseconds);
    return database;
}

std::optional<SqliteError> SqliteDatabase::execute(const char* sql) {
    char* message = nullptr;
    const int status = sqlite3_exec(handle_, sql, nullptr, nullptr, &message);
    if (status == SQLITE_OK) return std::nullopt;
    SqliteError error{status, message != nullptr ? message : sqlite3_errstr(status)};
    sqlite3_free(message);
    return error;
}

std::optional<SqliteStatement> SqliteDatabase::prepare(std::string_view sql, SqliteError& error) {
    sqlite3_stmt* statement = nullptr;
    const int status = sqlite3_prepare_v3(handle_, sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                                          &statement, nullptr);
    if (status != SQLITE_OK) {
        error = lastError();
        sqlite3_finalize(statement);
        return std::nullopt;
    }
    return SqliteStatement(statement);
}

std::optional<std::string> SqliteDatabase::scalarText(const char* sql, SqliteError& error) {
    auto statement = prepare(sql, error);
    if (!statement) return std::nullopt;
    const int status = statement->step();
    if (status == SQLITE_ROW) return statement->text(0);
    if (status == SQLITE_DONE) return std::string();
    error = lastError();
    return std::nullopt;
}

std::int64_t SqliteDatabase::lastInsertRowId() const { return sqlite3_last_insert_rowid(handle_); }

std::int64_t SqliteDatabase::changes() const { return sqlite3_changes64(handle_); }

SqliteError SqliteDatabase::lastError() const { return {sqlite3_extended_errcode(handle_), sqlite3_errmsg(handle_)}; }

}  // namespace ampwell
