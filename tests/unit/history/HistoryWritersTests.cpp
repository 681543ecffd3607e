// The tray and the metrics server write the same file at the same moments.
#include "app/history/HistoryStore.hpp"
#include "tests/unit/history/HistoryTestFiles.hpp"

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

}  // namespace
}  // namespace ampwell
