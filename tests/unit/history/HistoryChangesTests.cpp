// Which states of the fleet become rows: changes, departures and heartbeats, never jitter.
#include "app/history/HistoryChanges.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

const platform::Date kStart = platform::dateFromSecondsSince1970(1800000000);

platform::Date at(double seconds) { return kStart + platform::Seconds(seconds); }

FleetState desk(double watts, double battery, const std::string& connection = "boot:1") {
    FleetState state;
    PortFigures port;
    port.label = "1";
    port.connections = connection;
    port.watts = watts;
    state.ports.push_back(port);
    FollowedDevice device;
    device.serial = "S";
    device.name = "iPad";
    device.port = "1";
    device.connection = connection;
    device.batteryRatio = battery;
    state.devices.push_back(device);
    return state;
}

TEST(HistoryChanges, WritesOnlyWhatChangedAndIgnoresJitter) {
    HistoryChanges changes;
    EXPECT_EQ(changes.observe(desk(8.64, 0.50), at(0)).size(), 2u);
    EXPECT_TRUE(changes.observe(desk(8.64, 0.50), at(5)).empty());
    EXPECT_TRUE(changes.observe(desk(8.70, 0.50), at(10)).empty());
    const HistoryRows battery = changes.observe(desk(8.70, 0.51), at(15));
    EXPECT_TRUE(battery.ports.empty());
    ASSERT_EQ(battery.devices.size(), 1u);
    EXPECT_DOUBLE_EQ(*battery.devices[0].device.batteryRatio, 0.51);
    const HistoryRows power = changes.observe(desk(12.0, 0.51), at(20));
    ASSERT_EQ(power.ports.size(), 1u);
    EXPECT_TRUE(power.devices.empty());
}

TEST(HistoryChanges, AQuietDeviceGetsAHeartbeatEveryTenMinutes) {
    HistoryChanges changes;
    changes.observe(desk(8.64, 0.5), at(0));
    EXPECT_TRUE(changes.observe(desk(8.64, 0.5), at(599)).empty());
    EXPECT_EQ(changes.observe(desk(8.64, 0.5), at(600)).size(), 2u);
    EXPECT_TRUE(changes.observe(desk(8.64, 0.5), at(900)).empty());
}

TEST(HistoryChanges, ADepartureAndANewSessionAreRowsOfTheirOwn) {
    HistoryChanges changes;
    changes.observe(desk(8.64, 0.5, "boot:1"), at(0));
    const HistoryRows gone = changes.observe(FleetState{}, at(30));
    ASSERT_EQ(gone.devices.size(), 1u);
    EXPECT_FALSE(gone.devices[0].present);
    EXPECT_EQ(gone.devices[0].device.connection, "boot:1");
    ASSERT_EQ(gone.ports.size(), 1u);
    EXPECT_FALSE(gone.ports[0].present);
    EXPECT_TRUE(changes.observe(FleetState{}, at(60)).empty());
    const HistoryRows back = changes.observe(desk(8.64, 0.5, "boot:2"), at(90));
    ASSERT_EQ(back.devices.size(), 1u);
    EXPECT_TRUE(back.devices[0].present);
    EXPECT_EQ(back.devices[0].device.connection, "boot:2");
}

}  // namespace
}  // namespace ampwell
