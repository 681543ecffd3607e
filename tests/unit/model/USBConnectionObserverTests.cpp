#include "app/model/USBConnectionObserver.hpp"

#include "tests/unit/support/SimulatedRegistry.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ampwell {
namespace {

struct RecordingLog final : platform::SystemLog {
    void write(const std::string& line) override { lines.push_back(line); }
    std::vector<std::string> lines;
};

class USBConnectionObserverTest : public ::testing::Test {
protected:
    test::SimulatedRegistry sim;
    int changes = 0;
    USBConnectionObserver observer{sim.registry};
};

TEST_F(USBConnectionObserverTest, SilentAboutAttachedDevicesThenOneCallPerBatch) {
    sim.registry.addEntries({test::SimulatedRegistry::usbDevice(1), test::SimulatedRegistry::usbDevice(2),
                             test::SimulatedRegistry::usbDevice(3)});
    ASSERT_TRUE(observer.start([this] { ++changes; }));
    EXPECT_TRUE(observer.isStarted());
    sim.deliver();
    EXPECT_EQ(changes, 0);

    sim.registry.addEntry(test::SimulatedRegistry::usbDevice(4));
    sim.deliver();
    EXPECT_EQ(changes, 1);

    // A hub arrives with two devices behind it, and leaves with them: one call each way.
    sim.registry.addEntries({test::SimulatedRegistry::usbDevice(10), test::SimulatedRegistry::usbDevice(11, 10),
                             test::SimulatedRegistry::usbDevice(12, 10)});
    sim.deliver();
    EXPECT_EQ(changes, 2);
    sim.registry.removeEntry(10);
    sim.deliver();
    EXPECT_EQ(changes, 3);

    // Separate batches are separate calls...
    sim.registry.removeEntry(1);
    sim.deliver();
    sim.registry.removeEntry(2);
    sim.deliver();
    EXPECT_EQ(changes, 5);
    // ...but a delivery whose entries an earlier one already took finds nothing and stays silent.
    sim.registry.removeEntry(3);
    sim.registry.removeEntry(4);
    sim.deliver();
    EXPECT_EQ(changes, 6);
}

TEST_F(USBConnectionObserverTest, AStartReplacesTheRunningObserver) {
    int first = 0;
    ASSERT_TRUE(observer.start([&] { ++first; }));
    const auto handles = sim.registry.liveHandleCount();
    ASSERT_TRUE(observer.start([this] { ++changes; }));
    EXPECT_EQ(sim.registry.liveHandleCount(), handles);  // the first port and iterators are gone
    sim.registry.addEntry(test::SimulatedRegistry::usbDevice(1));
    sim.deliver();
    EXPECT_EQ(first, 0);
    EXPECT_EQ(changes, 1);
}

TEST_F(USBConnectionObserverTest, StopIsHarmlessTwiceAndSilencesQueuedNotifications) {
    observer.stop();
    ASSERT_TRUE(observer.start([this] { ++changes; }));
    sim.registry.addEntry(test::SimulatedRegistry::usbDevice(1));  // queued, not yet delivered
    observer.stop();
    observer.stop();
    EXPECT_FALSE(observer.isStarted());
    EXPECT_EQ(sim.registry.liveHandleCount(), 0u);
    sim.deliver();
    EXPECT_EQ(changes, 0);
}

TEST_F(USBConnectionObserverTest, ACallbackMayStopTheObserver) {
    ASSERT_TRUE(observer.start([this] {
        ++changes;
        observer.stop();
    }));
    sim.registry.addEntry(test::SimulatedRegistry::usbDevice(1));
    sim.deliver();
    sim.registry.addEntry(test::SimulatedRegistry::usbDevice(2));
    sim.deliver();
    EXPECT_EQ(changes, 1);
}

TEST_F(USBConnectionObserverTest, WhenItCannotStartItHoldsNothingAndTheCallerLogs) {
    RecordingLog log;
    sim.registry.setNotificationPortsFail(true);
    EXPECT_FALSE(observer.startOrLog([this] { ++changes; }, log));
    sim.registry.setNotificationPortsFail(false);
    sim.registry.setMatchingResult("IOUSBHostDevice", platform::kResultNoResources);
    EXPECT_FALSE(observer.start([this] { ++changes; }));
    EXPECT_FALSE(observer.isStarted());
    EXPECT_EQ(sim.registry.liveHandleCount(), 0u);
    EXPECT_EQ(log.lines, std::vector<std::string>{"USB 插拔监听未能启动，将使用定时刷新。"});
    sim.registry.setMatchingResult("IOUSBHostDevice", platform::kResultSuccess);
    sim.registry.addEntry(test::SimulatedRegistry::usbDevice(1));
    sim.deliver();
    EXPECT_EQ(changes, 0);
}

}  // namespace
}  // namespace ampwell
