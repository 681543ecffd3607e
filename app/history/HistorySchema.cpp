#include "app/history/HistorySchema.hpp"

#include <array>
#include <string>

namespace ampwell {
namespace {

// Figures are whole thousandths (millivolts, milliwatts, permille), times whole milliseconds
// since 1970: SQLite stores small integers in one to three bytes where a real always takes
// eight, and keeping a month of a device small is what lets the history run unattended.
constexpr std::array<const char*, kHistorySchemaVersion> kSteps{
    // 1: who was where (a port and its devices' connections, or a device on its USB session),
    // and the rows that point at them.
    "CREATE TABLE connections(id INTEGER PRIMARY KEY, kind INTEGER NOT NULL, serial TEXT NOT NULL,"
    " name TEXT NOT NULL, port TEXT NOT NULL, connection TEXT NOT NULL,"
    " UNIQUE(kind, serial, name, port, connection));"
    "CREATE TABLE port_rows(t INTEGER NOT NULL, conn INTEGER NOT NULL, present INTEGER NOT NULL,"
    " volts_mv INTEGER, amps_ma INTEGER, watts_mw INTEGER, limit_mw INTEGER, source INTEGER NOT NULL);"
    "CREATE TABLE device_rows(t INTEGER NOT NULL, conn INTEGER NOT NULL, present INTEGER NOT NULL,"
    " battery_permille INTEGER, charging INTEGER, external INTEGER, input_mw INTEGER, offer_mw INTEGER,"
    " verdict INTEGER NOT NULL, draining INTEGER NOT NULL, drain_permille INTEGER NOT NULL,"
    " threshold_mw INTEGER NOT NULL);",
    // 2: rows by time, for a window's query and for retention, which otherwise read every row.
    "CREATE INDEX port_rows_by_time ON port_rows(t);"
    "CREATE INDEX device_rows_by_time ON device_rows(t);",
};

}  // namespace

const char* historySchemaStep(int version) {
    if (version < 1 || version > kHistorySchemaVersion) return "";
    return kSteps[static_cast<std::size_t>(version - 1)];
}

std::optional<SqliteError> migrateHistorySchema(SqliteDatabase& database, SchemaOutcome& outcome) {
    SqliteError error;
    // Only honoured before the first table exists: later, freed pages can be given back to the
    // file system in steps, which the size bound relies on.
    if (auto failed = database.execute("PRAGMA auto_vacuum=INCREMENTAL")) return failed;
    if (auto failed = database.execute("BEGIN IMMEDIATE")) return failed;
    const auto version = database.scalarText("PRAGMA user_version", error);
    if (!version) {
        database.execute("ROLLBACK");
        return error;
    }
    const int from = std::stoi(*version);
    outcome = from > kHistorySchemaVersion ? SchemaOutcome::newer : SchemaOutcome::current;
    for (int step = from + 1; step <= kHistorySchemaVersion; ++step) {
        if (auto failed = database.execute(historySchemaStep(step))) {
            database.execute("ROLLBACK");
            return failed;
        }
    }
    if (from < kHistorySchemaVersion) {
        const std::string pragma = "PRAGMA user_version=" + std::to_string(kHistorySchemaVersion);
        if (auto failed = database.execute(pragma.c_str())) {
            database.execute("ROLLBACK");
            return failed;
        }
    }
    return database.execute("COMMIT");
}

}  // namespace ampwell
