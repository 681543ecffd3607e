#include "app/batteries/DeviceBatteryReader.hpp"

#include "tests/unit/support/SimulatedIPad.hpp"

#include <gtest/gtest.h>

#include <stdexcept>

namespace ampwell {
namespace {

// Every test ends the shared worker before its platform goes away, as the program does; declared
// after the platform, it is destroyed first.
struct EndsWorker {
    ~EndsWorker() { DeviceBatteryReader::endWorker(); }
};

TEST(DeviceBatteryReader, ReadsStampedBatteriesThroughTheSharedWorker) {
    auto platform = test::simulatedIPad(R"("readDelay": 1.5,)");
    EndsWorker ends;
    const auto batteries = DeviceBatteryReader::readAll(*platform);
    ASSERT_EQ(batteries.size(), 1u);
    EXPECT_EQ(batteries[0].serial, "00008103-001A");
    EXPECT_EQ(batteries[0].deviceClass, "iPad");
    EXPECT_EQ(batteries[0].percent, 80);
    EXPECT_EQ(batteries[0].isCharging, false);
    EXPECT_EQ(batteries[0].externalConnected, true);
    EXPECT_EQ(batteries[0].connectionID, "1234567");
    // The slow device cost 1.5 s of simulated time, and no real waiting.
    EXPECT_EQ(platform->simClock().elapsed(), 1.5);
    EXPECT_EQ(batteries[0].sampledAt, platform->clock().now());
    EXPECT_EQ(platform->simMobileDeviceService().openConnections(), 0);
    EXPECT_EQ(platform->simMobileDeviceService().openSessions(), 0);
}

TEST(DeviceBatteryReader, ASlowDeviceGivesNothingAfterFourSecondsAndEndsCleanly) {
    auto platform = test::simulatedIPad(R"("readDelay": 6,)");
    EndsWorker ends;
    EXPECT_TRUE(DeviceBatteryReader::readAll(*platform).empty());
    EXPECT_EQ(platform->simClock().elapsed(), 4.0);
    // Ending the worker lets the read in flight finish first (at 6 s) instead of cutting it off.
    DeviceBatteryReader::endWorker();
    EXPECT_EQ(platform->simClock().elapsed(), 6.0);
    EXPECT_EQ(platform->simMobileDeviceService().openConnections(), 0);
}

TEST(DeviceBatteryReader, OneWorkerForOnePlatform) {
    auto first = test::simulatedIPad();
    auto second = test::simulatedIPad();
    EndsWorker ends;
    auto& worker = DeviceBatteryReader::worker(*first);
    EXPECT_EQ(&DeviceBatteryReader::worker(*first), &worker);
    EXPECT_THROW(DeviceBatteryReader::worker(*second), std::logic_error);
    DeviceBatteryReader::endWorker();
    DeviceBatteryReader::endWorker();
    EXPECT_EQ(DeviceBatteryReader::readAll(*second).size(), 1u);
}

TEST(DeviceBatteryReader, WithoutTheFrameworkThereAreNoBatteries) {
    auto platform = test::simulatedIPad("", R"("mobileDeviceService": "unavailable",)");
    EndsWorker ends;
    EXPECT_TRUE(DeviceBatteryReader::readAll(*platform).empty());
    EXPECT_EQ(platform->mobileDevices().state(), platform::MobileDeviceService::State::unavailable);
    EXPECT_EQ(platform->simClock().elapsed(), 0.0);
}

}  // namespace
}  // namespace ampwell
