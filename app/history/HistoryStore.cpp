#include "app/history/HistoryStore.hpp"

#include "app/history/HistorySchema.hpp"

#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <thread>
#include <utility>

namespace ampwell {
namespace {

constexpr int kPortKind = 0;
constexpr int kDeviceKind = 1;
// Retention and the size bound run at most this often: deleting nothing still walks an index.
constexpr double kRetentionInterval = 3600.0;
// How many times the oldest tenth is dropped before the bound gives up for this write.
constexpr int kMaxDropRounds = 20;

std::int64_t milliseconds(platform::Date date) { return std::llround(platform::secondsSince1970(date) * 1000.0); }

platform::Date dateOf(std::int64_t milliseconds) {
    return platform::dateFromSecondsSince1970(static_cast<double>(milliseconds) / 1000.0);
}

std::optional<std::int64_t> thousandths(std::optional<double> value) {
    if (!value || !std::isfinite(*value)) return std::nullopt;
    return std::llround(*value * 1000.0);
}

std::optional<double> fromThousandths(std::optional<std::int64_t> value) {
    if (!value) return std::nullopt;
    return static_cast<double>(*value) / 1000.0;
}

std::optional<std::int64_t> flag(std::optional<bool> value) {
    if (!value) return std::nullopt;
    return *value ? 1 : 0;
}

std::optional<bool> flagOf(std::optional<std::int64_t> value) {
    if (!value) return std::nullopt;
    return *value != 0;
}

IndicatorState verdictOf(std::int64_t value) {
    if (value == static_cast<std::int64_t>(IndicatorState::normal)) return IndicatorState::normal;
    if (value == static_cast<std::int64_t>(IndicatorState::low)) return IndicatorState::low;
    return IndicatorState::unavailable;
}

FigureSource sourceOf(std::int64_t value) {
    if (value == static_cast<std::int64_t>(FigureSource::deviceInput)) return FigureSource::deviceInput;
    if (value == static_cast<std::int64_t>(FigureSource::chargerOffer)) return FigureSource::chargerOffer;
    return FigureSource::computer;
}

std::string timestamp(platform::Date now) {
    const auto seconds = static_cast<std::time_t>(std::floor(platform::secondsSince1970(now)));
    std::tm parts{};
    ::gmtime_r(&seconds, &parts);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &parts);
    return text;
}

bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

// Switching the journal mode answers "database is locked" at once, without the busy handler,
// while another connection is opening the same new file: the tray and the metrics server start
// together often enough. Only a lock held past the whole wait counts as one that is not let go.
std::optional<std::string> switchToWriteAheadLog(SqliteDatabase& database, int busyMilliseconds, SqliteError& error) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(busyMilliseconds);
    for (;;) {
        auto mode = database.scalarText("PRAGMA journal_mode=WAL", error);
        if (mode || !error.busy() || std::chrono::steady_clock::now() >= deadline) return mode;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

void makePrivateParentDirectories(const std::string& path) {
    for (std::size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1))
        ::mkdir(path.substr(0, slash).c_str(), 0700);
}

HistoryStore::HistoryStore(HistoryStoreOptions options, platform::SystemLog& log)
    : options_(std::move(options)), log_(log) {}

SqliteStatement* HistoryStore::statement(const char* sql, SqliteError& error) {
    if (const auto found = statements_.find(sql); found != statements_.end()) {
        found->second.reset();
        return &found->second;
    }
    auto prepared = database_.prepare(sql, error);
    if (!prepared) return nullptr;
    return &statements_.emplace(sql, std::move(*prepared)).first->second;
}

void HistoryStore::closeDatabase() {
    statements_.clear();
    database_ = SqliteDatabase();
}

std::optional<SqliteError> HistoryStore::openAndMigrate() {
    closeDatabase();
    connectionIds_.clear();
    newerRelease_ = false;
    makePrivateParentDirectories(options_.path);
    SqliteError error;
    auto database = SqliteDatabase::open(options_.path, options_.busyMilliseconds, error);
    if (!database) return error;
    // A file that is not a database fails here already; "wal" is the only answer that lets the
    // tray and the metrics server write while the other reads.
    const auto mode = switchToWriteAheadLog(*database, options_.busyMilliseconds, error);
    if (!mode) return error;
    if (*mode != "wal") return SqliteError{SQLITE_CANTOPEN, "journal mode stays " + *mode};
    const auto check = database->scalarText("PRAGMA quick_check", error);
    if (!check) return error;
    if (*check != "ok") return SqliteError{SQLITE_CORRUPT, *check};
    SchemaOutcome outcome = SchemaOutcome::current;
    if (auto failed = migrateHistorySchema(*database, outcome)) return failed;
    // In WAL mode a crash loses at most the last transactions, never the file.
    if (auto failed = database->execute("PRAGMA synchronous=NORMAL")) return failed;
    newerRelease_ = outcome == SchemaOutcome::newer;
    database_ = std::move(*database);
    return std::nullopt;
}

void HistoryStore::setAside(const SqliteError& error, platform::Date now) {
    closeDatabase();
    std::string aside = options_.path + ".set-aside-" + timestamp(now);
    for (int n = 2; exists(aside); ++n)
        aside = options_.path + ".set-aside-" + timestamp(now) + "-" + std::to_string(n);
    // The journal files go with it: a new file beside an old write-ahead log would replay the
    // old file's pages into itself.
    for (const char* suffix : {"", "-wal", "-shm"}) {
        const std::string from = options_.path + suffix;
        if (exists(from)) std::rename(from.c_str(), (aside + suffix).c_str());
    }
    log_.write("ampwell: history database " + options_.path + " set aside as " + aside + ": " + error.message);
}

bool HistoryStore::ready(platform::Date now) {
    if (database_.isOpen()) return !newerRelease_;
    auto failed = openAndMigrate();
    if (failed) {
        setAside(*failed, now);
        failed = openAndMigrate();
    }
    if (failed) {
        log_.write("ampwell: history database " + options_.path + " cannot be used: " + failed->message);
        closeDatabase();
        return false;
    }
    if (newerRelease_)
        log_.write("ampwell: history database " + options_.path + " was written by a newer release; not writing it");
    return !newerRelease_;
}

bool HistoryStore::write(const HistoryRows& rows, platform::Date now) {
    if (!ready(now)) return false;
    auto failed = insert(rows);
    if (failed) {
        // Damaged under us, or held by a process that does not let go: start afresh once.
        database_.execute("ROLLBACK");
        setAside(*failed, now);
        if (!ready(now)) return false;
        failed = insert(rows);
        if (failed) {
            database_.execute("ROLLBACK");
            log_.write("ampwell: history not written to " + options_.path + ": " + failed->message);
            return false;
        }
    }
    prune(now);
    return true;
}

std::optional<std::int64_t> HistoryStore::connectionId(int kind, const std::string& serial, const std::string& name,
                                                       const std::string& port, const std::string& connection,
                                                       SqliteError& error) {
    std::string key = std::to_string(kind) + '\x1f' + serial + '\x1f' + name + '\x1f' + port + '\x1f' + connection;
    if (const auto found = connectionIds_.find(key); found != connectionIds_.end()) return found->second;
    static constexpr const char* kInsert =
        "INSERT OR IGNORE INTO connections(kind, serial, name, port, connection) VALUES(?, ?, ?, ?, ?)";
    static constexpr const char* kSelect =
        "SELECT id FROM connections WHERE kind = ? AND serial = ? AND name = ? AND port = ? AND connection = ?";
    SqliteStatement* insert = statement(kInsert, error);
    SqliteStatement* select = insert ? statement(kSelect, error) : nullptr;
    if (!select) return std::nullopt;
    for (auto* statement : {insert, select}) {
        statement->bind(1, std::int64_t{kind});
        statement->bind(2, serial);
        statement->bind(3, name);
        statement->bind(4, port);
        statement->bind(5, connection);
    }
    if (insert->step() != SQLITE_DONE || select->step() != SQLITE_ROW) {
        error = database_.lastError();
        return std::nullopt;
    }
    const std::int64_t id = select->integer(0);
    select->reset();
    connectionIds_.emplace(std::move(key), id);
    return id;
}

std::optional<SqliteError> HistoryStore::insert(const HistoryRows& rows) {
    SqliteError error;
    SqliteStatement* begin = statement("BEGIN IMMEDIATE", error);
    if (!begin) return error;
    if (begin->step() != SQLITE_DONE) return database_.lastError();
    SqliteStatement* ports = statement("INSERT INTO port_rows VALUES(?, ?, ?, ?, ?, ?, ?, ?)", error);
    SqliteStatement* devices =
        ports ? statement("INSERT INTO device_rows VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)", error) : nullptr;
    if (!devices) return error;
    for (const auto& row : rows.ports) {
        const auto& figures = row.figures;
        const auto conn = connectionId(kPortKind, "", "", figures.label, figures.connections, error);
        if (!conn) return error;
        ports->bind(1, milliseconds(row.time));
        ports->bind(2, *conn);
        ports->bind(3, std::int64_t{row.present ? 1 : 0});
        ports->bind(4, thousandths(figures.volts));
        ports->bind(5, thousandths(figures.amps));
        ports->bind(6, thousandths(figures.watts));
        ports->bind(7, thousandths(figures.limitWatts));
        ports->bind(8, static_cast<std::int64_t>(figures.source));
        if (ports->step() != SQLITE_DONE) return database_.lastError();
        ports->reset();
    }
    for (const auto& row : rows.devices) {
        const auto& device = row.device;
        const auto conn = connectionId(kDeviceKind, device.serial, device.name, device.port, device.connection, error);
        if (!conn) return error;
        devices->bind(1, milliseconds(row.time));
        devices->bind(2, *conn);
        devices->bind(3, std::int64_t{row.present ? 1 : 0});
        devices->bind(4, thousandths(device.batteryRatio));
        devices->bind(5, flag(device.charging));
        devices->bind(6, flag(device.externalPower));
        devices->bind(7, thousandths(device.inputWatts));
        devices->bind(8, thousandths(device.offerWatts));
        devices->bind(9, static_cast<std::int64_t>(device.verdict.value()));
        devices->bind(10, std::int64_t{device.draining ? 1 : 0});
        devices->bind(11, thousandths(device.drainDepthRatio).value_or(0));
        devices->bind(12, thousandths(row.thresholdWatts).value_or(0));
        if (devices->step() != SQLITE_DONE) return database_.lastError();
        devices->reset();
    }
    SqliteStatement* commit = statement("COMMIT", error);
    if (!commit) return error;
    if (commit->step() != SQLITE_DONE) return database_.lastError();
    return std::nullopt;
}

void HistoryStore::prune(platform::Date now) {
    // An hour of rows is small next to either limit, so both are looked at once an hour: a
    // transaction costs less when it is only the rows.
    if (lastRetention_ &&
        platform::secondsSince1970(now) - platform::secondsSince1970(*lastRetention_) < kRetentionInterval &&
        now >= *lastRetention_)
        return;
    lastRetention_ = now;
    std::int64_t removed = 0;
    {
        SqliteError error;
        const std::int64_t cutoff = milliseconds(now - options_.retention);
        auto ports = database_.prepare("DELETE FROM port_rows WHERE t < ?", error);
        auto devices = database_.prepare("DELETE FROM device_rows WHERE t < ?", error);
        if (ports && devices) {
            for (auto* statement : {&*ports, &*devices}) {
                statement->bind(1, cutoff);
                if (statement->step() == SQLITE_DONE) removed += database_.changes();
            }
        }
    }
    if (usedBytes() > options_.maxBytes) removed += dropOldest();
    // Finding the connections no row points at any more reads every row: only worth it, and
    // only giving pages back, when rows went.
    if (removed == 0) return;
    database_.execute(
        "DELETE FROM connections WHERE id NOT IN (SELECT conn FROM port_rows)"
        " AND id NOT IN (SELECT conn FROM device_rows)");
    connectionIds_.clear();
    database_.execute("PRAGMA incremental_vacuum");
}

std::int64_t HistoryStore::dropOldest() {
    SqliteError error;
    auto span = database_.prepare(
        "SELECT min(t), max(t) FROM (SELECT t FROM port_rows UNION ALL SELECT t FROM device_rows)", error);
    auto ports = database_.prepare("DELETE FROM port_rows WHERE t < ?", error);
    auto devices = database_.prepare("DELETE FROM device_rows WHERE t < ?", error);
    if (!span || !ports || !devices) return 0;
    std::int64_t removed = 0;
    for (int round = 0; round < kMaxDropRounds && usedBytes() > options_.maxBytes; ++round) {
        span->reset();
        if (span->step() != SQLITE_ROW || span->isNull(0)) break;
        const std::int64_t oldest = span->integer(0);
        const std::int64_t newest = span->integer(1);
        const std::int64_t cutoff = oldest + std::max<std::int64_t>(1, (newest - oldest) / 10);
        for (auto* statement : {&*ports, &*devices}) {
            statement->reset();
            statement->bind(1, cutoff);
            if (statement->step() == SQLITE_DONE) removed += database_.changes();
        }
    }
    return removed;
}

std::int64_t HistoryStore::usedBytes() {
    if (!database_.isOpen()) return 0;
    SqliteError error;
    const auto pages = database_.scalarText("PRAGMA page_count", error);
    const auto free = database_.scalarText("PRAGMA freelist_count", error);
    const auto size = database_.scalarText("PRAGMA page_size", error);
    if (!pages || !free || !size) return 0;
    return (std::stoll(*pages) - std::stoll(*free)) * std::stoll(*size);
}

HistoryRows HistoryStore::read(platform::Date from, platform::Date to) {
    HistoryRows rows;
    readFailure_.reset();
    // A reader never sets a file aside: the writer that holds it open would go on writing into
    // the renamed file. It reports and shows nothing.
    if (!database_.isOpen()) {
        if (auto failed = openAndMigrate()) {
            log_.write("ampwell: history database " + options_.path + " cannot be read: " + failed->message);
            readFailure_ = failed->message;
            closeDatabase();
            return rows;
        }
    }
    SqliteError error;
    auto ports = database_.prepare(
        "SELECT p.t, p.present, p.volts_mv, p.amps_ma, p.watts_mw, p.limit_mw, p.source,"
        " c.port, c.connection FROM port_rows p JOIN connections c ON c.id = p.conn"
        " WHERE p.t BETWEEN ? AND ? ORDER BY p.t, p.rowid",
        error);
    auto devices = database_.prepare(
        "SELECT d.t, d.present, d.battery_permille, d.charging, d.external, d.input_mw, d.offer_mw, d.verdict,"
        " d.draining, d.drain_permille, d.threshold_mw, c.serial, c.name, c.port, c.connection"
        " FROM device_rows d JOIN connections c ON c.id = d.conn WHERE d.t BETWEEN ? AND ? ORDER BY d.t, d.rowid",
        error);
    if (!ports || !devices) {
        readFailure_ = error.message;
        return rows;
    }
    for (auto* statement : {&*ports, &*devices}) {
        statement->bind(1, milliseconds(from));
        statement->bind(2, milliseconds(to));
    }
    while (ports->step() == SQLITE_ROW) {
        PortRow row;
        row.time = dateOf(ports->integer(0));
        row.present = ports->integer(1) != 0;
        row.figures.volts = fromThousandths(ports->optionalInteger(2));
        row.figures.amps = fromThousandths(ports->optionalInteger(3));
        row.figures.watts = fromThousandths(ports->optionalInteger(4));
        row.figures.limitWatts = fromThousandths(ports->optionalInteger(5));
        row.figures.source = sourceOf(ports->integer(6));
        row.figures.label = ports->text(7);
        row.figures.connections = ports->text(8);
        rows.ports.push_back(std::move(row));
    }
    while (devices->step() == SQLITE_ROW) {
        DeviceRow row;
        row.time = dateOf(devices->integer(0));
        row.present = devices->integer(1) != 0;
        auto& device = row.device;
        device.batteryRatio = fromThousandths(devices->optionalInteger(2));
        device.charging = flagOf(devices->optionalInteger(3));
        device.externalPower = flagOf(devices->optionalInteger(4));
        device.inputWatts = fromThousandths(devices->optionalInteger(5));
        device.offerWatts = fromThousandths(devices->optionalInteger(6));
        device.verdict = verdictOf(devices->integer(7));
        device.draining = devices->integer(8) != 0;
        device.drainDepthRatio = static_cast<double>(devices->integer(9)) / 1000.0;
        row.thresholdWatts = static_cast<double>(devices->integer(10)) / 1000.0;
        device.serial = devices->text(11);
        device.name = devices->text(12);
        device.port = devices->text(13);
        device.connection = devices->text(14);
        rows.devices.push_back(std::move(row));
    }
    return rows;
}

}  // namespace ampwell
