// The history file as a disk and a crash leave it: older layouts, files of a later release,
// damage, a lock that is never let go, and the limits of age and size.
#include "app/history/HistorySchema.hpp"
#include "app/history/HistoryStore.hpp"
#include "tests/unit/history/HistoryTestFiles.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace ampwell {
namespace {

const platform::Date kNow = platform::dateFromSecondsSince1970(1800000000);

HistoryRows deviceRows(platform::Date time, int count, double seconds = 60) {
    HistoryRows rows;
    for (int i = 0; i < count; ++i) {
        DeviceRow row;
        row.time = time + platform::Seconds(seconds * i);
        row.device.serial = "00008103-001A";
        row.device.name = "iPad";
        row.device.port = "1";
        row.device.connection = "1799990000:1234567";
        row.device.batteryRatio = (i % 100) / 100.0;
        row.device.verdict = IndicatorState::low;
        rows.devices.push_back(row);
    }
    return rows;
}

std::string fileText(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

std::string scalar(const std::string& path, const char* sql) {
    SqliteError error;
    auto database = SqliteDatabase::open(path, 1000, error);
    if (!database) return "open failed: " + error.message;
    return database->scalarText(sql, error).value_or("failed: " + error.message);
}

class HistoryStoreTest : public ::testing::Test {
protected:
    HistoryStoreOptions options(const std::string& name = "history.sqlite3") {
        HistoryStoreOptions options;
        options.path = directory.path(name);
        options.busyMilliseconds = 100;
        return options;
    }

    test::HistoryDirectory directory;
    test::RecordingLog log;
};

TEST_F(HistoryStoreTest, BringsAFileOfTheFirstLayoutUpToDateKeepingItsRows) {
    {
        SqliteError error;
        auto old = SqliteDatabase::open(directory.path("history.sqlite3"), 1000, error);
        ASSERT_TRUE(old);
        ASSERT_FALSE(old->execute(historySchemaStep(1)));
        ASSERT_FALSE(old->execute(
            "PRAGMA user_version=1;"
            "INSERT INTO connections VALUES(1, 1, 'S', 'iPad', '2', 'c');"
            "INSERT INTO device_rows VALUES(1799999000000, 1, 1, 500, 1, 1, NULL, NULL, 0, 0, 0, 10000);"));
    }
    HistoryStore store(options(), log);
    ASSERT_TRUE(store.write(deviceRows(kNow, 1), kNow));
    const HistoryRows rows = store.read(kNow - platform::Seconds(3600), kNow);
    ASSERT_EQ(rows.devices.size(), 2u);
    EXPECT_EQ(rows.devices[0].device.port, "2");
    EXPECT_DOUBLE_EQ(*rows.devices[0].device.batteryRatio, 0.5);
    EXPECT_EQ(scalar(options().path, "PRAGMA user_version"), std::to_string(kHistorySchemaVersion));
    EXPECT_EQ(scalar(options().path, "SELECT count(*) FROM sqlite_master WHERE name = 'device_rows_by_time'"), "1");
    EXPECT_TRUE(directory.entries("history.sqlite3.set-aside").empty());
}

TEST_F(HistoryStoreTest, LeavesAFileOfANewerReleaseAloneAndWritesNothing) {
    {
        SqliteError error;
        auto newer = SqliteDatabase::open(options().path, 1000, error);
        ASSERT_TRUE(newer);
        ASSERT_FALSE(newer->execute("CREATE TABLE future(x); PRAGMA user_version=99;"));
    }
    HistoryStore store(options(), log);
    EXPECT_FALSE(store.write(deviceRows(kNow, 3), kNow));
    EXPECT_EQ(scalar(options().path, "SELECT group_concat(name) FROM sqlite_master"), "future");
    EXPECT_TRUE(directory.entries("history.sqlite3.set-aside").empty());
    EXPECT_EQ(log.lines().size(), 1u);
}

TEST_F(HistoryStoreTest, SetsAsideAFileThatIsNotADatabaseAndStartsANewOne) {
    { std::ofstream(options().path) << std::string(8192, 'x'); }
    HistoryStore store(options(), log);
    ASSERT_TRUE(store.write(deviceRows(kNow, 2), kNow));
    const auto aside = directory.entries("history.sqlite3.set-aside-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(fileText(directory.path(aside[0])), std::string(8192, 'x'));
    EXPECT_EQ(store.read(kNow, kNow + platform::Seconds(60)).devices.size(), 2u);
    ASSERT_EQ(log.lines().size(), 1u);
    EXPECT_NE(log.lines()[0].find("set aside"), std::string::npos);
}

TEST_F(HistoryStoreTest, SetsAsideAFileWhosePagesWereOverwritten) {
    {
        HistoryStore first(options(), log);
        ASSERT_TRUE(first.write(deviceRows(kNow, 2000), kNow));
    }
    {
        // A torn write: the middle of the file is noise, the header still says SQLite.
        std::fstream file(options().path, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(4096 * 2);
        const std::string noise(4096 * 3, '\x5a');
        file.write(noise.data(), static_cast<std::streamsize>(noise.size()));
    }
    HistoryStore second(options(), log);
    ASSERT_TRUE(second.write(deviceRows(kNow, 1), kNow));
    EXPECT_EQ(directory.entries("history.sqlite3.set-aside-").size(), 1u);
    EXPECT_EQ(second.read(kNow, kNow).devices.size(), 1u);
}

TEST_F(HistoryStoreTest, SetsAsideAFileAnotherProcessKeepsLocked) {
    {
        HistoryStore first(options(), log);
        ASSERT_TRUE(first.write(deviceRows(kNow, 1), kNow));
    }
    SqliteError error;
    auto holder = SqliteDatabase::open(options().path, 0, error);
    ASSERT_TRUE(holder);
    ASSERT_FALSE(holder->execute("BEGIN EXCLUSIVE"));
    HistoryStore store(options(), log);
    EXPECT_TRUE(store.write(deviceRows(kNow, 4), kNow));
    EXPECT_EQ(directory.entries("history.sqlite3.set-aside-").size(), 1u);
    EXPECT_EQ(store.read(kNow - platform::Seconds(1), kNow + platform::Seconds(600)).devices.size(), 4u);
}

TEST_F(HistoryStoreTest, DropsRowsOlderThanTheRetention) {
    auto settings = options();
    settings.retention = platform::Seconds(3600);
    HistoryStore store(settings, log);
    ASSERT_TRUE(store.write(deviceRows(kNow - platform::Seconds(7200), 10), kNow - platform::Seconds(7200)));
    ASSERT_TRUE(store.write(deviceRows(kNow, 1), kNow));
    const HistoryRows rows = store.read(kNow - platform::Seconds(86400), kNow);
    ASSERT_EQ(rows.devices.size(), 1u);
    EXPECT_EQ(rows.devices[0].time, kNow);
}

TEST_F(HistoryStoreTest, StaysWithinItsSizeBoundByDroppingTheOldestRows) {
    auto settings = options();
    settings.maxBytes = 96 * 1024;
    HistoryStore store(settings, log);
    platform::Date time = kNow;
    for (int batch = 0; batch < 40; ++batch, time += platform::Seconds(60 * 500))
        ASSERT_TRUE(store.write(deviceRows(time, 500), time));
    EXPECT_LE(store.usedBytes(), settings.maxBytes);
    const HistoryRows rows = store.read(kNow, time);
    ASSERT_FALSE(rows.devices.empty());
    EXPECT_GT(rows.devices.front().time, kNow + platform::Seconds(60 * 500));
    EXPECT_EQ(rows.devices.back().time, time - platform::Seconds(60));
}

}  // namespace
}  // namespace ampwell
