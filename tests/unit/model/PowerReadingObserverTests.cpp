#include "app/model/PowerReadingObserver.hpp"

#include "tests/unit/support/SimulatedRegistry.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ampwell {
namespace {

constexpr platform::EntryID kBattery = 77;
constexpr std::uint32_t kSystemWillSleep = 0xE0000280;

struct RecordingLog final : platform::SystemLog {
    void write(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

class PowerReadingObserverTest : public ::testing::Test {
protected:
    void addBattery() {
        platform::sim::SimEntrySpec battery;
        battery.id = kBattery;
        battery.className = "AppleSmartBattery";
        sim.registry.addEntry(battery);
    }

    test::SimulatedRegistry sim;
    int changes = 0;
    PowerReadingObserver observer{sim.registry};
};

TEST_F(PowerReadingObserverTest, OnlyTheBatteryStatusMessageCountsAndEachOneCounts) {
    addBattery();
    ASSERT_TRUE(observer.start([this] { ++changes; }));
    sim.registry.sendMessage(kBattery, kSystemWillSleep);
    sim.deliver();
    EXPECT_EQ(changes, 0);
    sim.registry.sendMessage(kBattery, PowerReadingObserver::kBatteryStatusChangedMessage);
    sim.registry.sendMessage(kBattery, 0xE0024100);
    sim.deliver();
    EXPECT_EQ(changes, 2);
}

TEST_F(PowerReadingObserverTest, WithoutABatteryServiceItCannotStartAndHoldsNothing) {
    RecordingLog log;
    EXPECT_FALSE(observer.startOrLog([this] { ++changes; }, log));
    EXPECT_FALSE(observer.isStarted());
    EXPECT_EQ(sim.registry.liveHandleCount(), 0u);
    EXPECT_EQ(log.lines, std::vector<std::string>{"系统功率更新监听未能启动，将使用定时刷新。"});
    addBattery();
    sim.registry.setNotificationPortsFail(true);
    EXPECT_FALSE(observer.start([this] { ++changes; }));
    EXPECT_EQ(sim.registry.liveHandleCount(), 0u);
}

TEST_F(PowerReadingObserverTest, StopSilencesQueuedMessagesAndARestartReplacesTheCallback) {
    addBattery();
    observer.stop();
    int first = 0;
    ASSERT_TRUE(observer.start([&] { ++first; }));
    ASSERT_TRUE(observer.start([this] { ++changes; }));
    sim.registry.sendMessage(kBattery, PowerReadingObserver::kBatteryStatusChangedMessage);
    sim.deliver();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(changes, 1);

    sim.registry.sendMessage(kBattery, PowerReadingObserver::kBatteryStatusChangedMessage);
    observer.stop();
    observer.stop();
    EXPECT_EQ(sim.registry.liveHandleCount(), 0u);
    sim.deliver();
    EXPECT_EQ(changes, 1);
}

}  // namespace
}  // namespace ampwell
