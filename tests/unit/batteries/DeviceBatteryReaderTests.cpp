#include "app/batteries/DeviceBatteryReader.hpp"

#include "tests/unit/support/SimulatedIPad.hpp"

#include <gtest/gtest.h>

#include <optional>

namespace ampwell {
namespace {

DeviceBatteryReader readerOf(platform::sim::SimPlatform& platform) {
    return DeviceBatteryReader(platform.mobileDevices(), platform.registry(), platform.clock());
}

TEST(DeviceBatteryReader, ReadsStampedBatteriesThroughItsWorker) {
    auto platform = test::simulatedIPad({{"readDelay", 1.5}});
    auto reader = readerOf(*platform);
    const auto batteries = reader.readAll();
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
    auto platform = test::simulatedIPad({{"readDelay", 6}});
    std::optional<DeviceBatteryReader> reader;
    reader.emplace(platform->mobileDevices(), platform->registry(), platform->clock());
    EXPECT_TRUE(reader->readAll().empty());
    EXPECT_EQ(platform->simClock().elapsed(), 4.0);
    // Ending the reader lets the read in flight finish first (at 6 s) instead of cutting it off.
    reader.reset();
    EXPECT_EQ(platform->simClock().elapsed(), 6.0);
    EXPECT_EQ(platform->simMobileDeviceService().openConnections(), 0);
}

TEST(DeviceBatteryReader, EachReaderWorksForItsOwnPlatform) {
    auto first = test::simulatedIPad();
    auto second = test::simulatedIPad({{"readDelay", 6}});
    auto firstReader = readerOf(*first);
    auto& worker = firstReader.worker();
    EXPECT_EQ(&firstReader.worker(), &worker);
    {
        // A slow device behind another reader holds up neither this reader nor its clock.
        auto secondReader = readerOf(*second);
        EXPECT_TRUE(secondReader.readAll().empty());
        EXPECT_EQ(firstReader.readAll().size(), 1u);
    }
    EXPECT_EQ(first->simClock().elapsed(), 0.0);
    EXPECT_EQ(second->simClock().elapsed(), 6.0);
    EXPECT_EQ(second->simMobileDeviceService().openConnections(), 0);
}

TEST(DeviceBatteryReader, WithoutTheFrameworkThereAreNoBatteries) {
    auto platform = test::simulatedIPad(nullptr, {{"mobileDeviceService", "unavailable"}});
    EXPECT_TRUE(readerOf(*platform).readAll().empty());
    EXPECT_EQ(platform->mobileDevices().state(), platform::MobileDeviceService::State::unavailable);
    EXPECT_EQ(platform->simClock().elapsed(), 0.0);
}

}  // namespace
}  // namespace ampwell
