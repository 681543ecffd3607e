#pragma once

#include "app/history/SqliteDatabase.hpp"

#include <optional>

namespace ampwell {

// The history database's layout, versioned in PRAGMA user_version. Each version is one step from
// the one before, so a file written by any earlier release is brought up to date in place.
inline constexpr int kHistorySchemaVersion = 2;

// The statements that take a database from `version` - 1 to `version` (1 … current).
const char* historySchemaStep(int version);

enum class SchemaOutcome : unsigned char {
    current,  // the file has the current layout now (made or brought up to date)
    newer,    // a later release wrote it: left as it is, and not written to
};

// Brings `database` to the current version in one immediate transaction, so that two processes
// starting at once migrate it once. Returns the SQLite error when a step fails; the file is then
// as it was.
std::optional<SqliteError> migrateHistorySchema(SqliteDatabase& database, SchemaOutcome& outcome);

}  // namespace ampwell
