// The tray and the metrics server write the same file at the same moments.
#include "app/history/HistoryRecorder.hpp"
#include "app/history/HistoryStore.hpp"
#include "tests/unit/history/HistoryTestFiles.hpp"
#include "tests/unit/support/ManualClock.hpp"

#include <gtest/gtest.h>

#include <thread>

namespace ampwell {
namespace {

TEST(HistoryWriters, TwoStoresWritingOneFileAtOnceLoseNoRow) {
    test::HistoryDirectory directory;
    test::RecordingLog log;
    const platform::Date start = platform::dateFromSecondsSince1970(1800000000);
    constexpr int kBatches = 150;
    const auto writer = [&](const std::string& serial) {
        HistoryStore store({directory.path("history.sqlite3")}, log);
        for (int i = 0; i < kBatches; ++i) {
            HistoryRows rows;
            DeviceRow row;
            row.time = start + platform::Seconds(i);
            row.device.serial = serial;
            row.device.name = "iPad";
            rows.devices = {row, row};
            ASSERT_TRUE(store.write(rows, row.time));
        }
    };
    std::thread tray(writer, "TRAY");
    std::thread server(writer, "SERVER");
    tray.join();
    server.join();
    HistoryStore reader({directory.path("history.sqlite3")}, log);
    const HistoryRows rows = reader.read(start, start + platform::Seconds(kBatches));
    EXPECT_EQ(rows.devices.size(), 4u * kBatches);
    EXPECT_TRUE(directory.entries("history.sqlite3.set-aside").empty());
    for (const auto& line : log.lines()) ADD_FAILURE() << line;
}

FleetState deskWithBattery(double battery) {
    FleetState state;
    FollowedDevice device;
    device.serial = "S";
    device.name = "iPad";
    device.port = "1";
    device.connection = "boot:1";
    device.batteryRatio = battery;
    state.devices.push_back(device);
    return state;
}

// Both programs see the same iPad: its rows are on file once, and when the writing one ends the
// other carries on with the whole picture, not only with what changes after.
TEST(HistoryWriters, OneOfTwoRecordersWritesAndTheOtherTakesOverWhenItEnds) {
    test::HistoryDirectory directory;
    test::RecordingLog log;
    test::ManualClock clock;
    const HistoryStoreOptions options{directory.path("history.sqlite3")};
    HistoryRecorder server(options, clock, log);
    {
        HistoryRecorder tray(options, clock, log);
        tray.record(deskWithBattery(0.50));
        server.record(deskWithBattery(0.50));
        clock.advanceTo(30);
        tray.record(deskWithBattery(0.49));
        server.record(deskWithBattery(0.49));
        tray.drain();
    }
    clock.advanceTo(60);
    server.record(deskWithBattery(0.49));
    server.drain();
    HistoryStore reader(options, log);
    const HistoryRows rows = reader.read(clock.now() - platform::Seconds(60), clock.now());
    ASSERT_EQ(rows.devices.size(), 3u);
    EXPECT_DOUBLE_EQ(*rows.devices[0].device.batteryRatio, 0.50);
    EXPECT_DOUBLE_EQ(*rows.devices[1].device.batteryRatio, 0.49);
    EXPECT_EQ(rows.devices[2].time, clock.now());
    for (const auto& line : log.lines()) ADD_FAILURE() << line;
}

}  // namespace
}  // namespace ampwell
