#include "app/model/Telemetry.hpp"
#include "tests/unit/support/RegistryBuilder.hpp"
#include "tests/unit/support/FixedClock.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ampwell {
namespace {

using namespace ampwell::testing;

class TelemetryTest : public ::testing::Test {
protected:
    platform::sim::SimRegistry registry;
    RegistryBuilder build{registry};
    testing::FixedClock clock;
    BootIdentity boot{[] { return std::optional<std::int64_t>(500); }};
    Telemetry telemetry{registry, clock, boot};

    void battery(platform::PropertyDictionary properties) { build.add("AppleSmartBattery", std::move(properties)); }
    void component(int port, double vendor, double product) {
        build.add("IOPortTransportComponentCCUSBPDSOP",
                  {{"ParentPortTypeDescription", str("USB-C")},
                   {"ParentPortNumber", whole(port)},
                   {"Metadata", dict({{"Vendor ID", num(vendor)}, {"Product ID", num(product)}})}});
    }
    static PropertyValue fed(double vendor, double product, double charge, double remaining, double design) {
        return dict({{"FedVendorID", num(vendor)},
                     {"FedProductID", num(product)},
                     {"FedStateOfCharge", num(charge)},
                     {"FedRemainingCapacity", num(remaining)},
                     {"FedDesignCapacity", num(design)}});
    }
    void TearDown() override { EXPECT_EQ(registry.liveHandleCount(), 0u); }
};

TEST_F(TelemetryTest, NumberRefusesBooleansStringsNegativesAndNonFinite) {
    EXPECT_EQ(Telemetry::number(whole(5)), 5.0);
    EXPECT_EQ(Telemetry::number(num(0.0)), 0.0);
    EXPECT_EQ(Telemetry::number(num(2.5)), 2.5);
    EXPECT_FALSE(Telemetry::number(flag(true)));
    EXPECT_FALSE(Telemetry::number(str("5")));
    EXPECT_FALSE(Telemetry::number(num(-0.5)));
    EXPECT_FALSE(Telemetry::number(num(std::numeric_limits<double>::infinity())));
    EXPECT_FALSE(Telemetry::number(num(std::nan(""))));
    EXPECT_FALSE(Telemetry::number(std::optional<PropertyValue>()));
}

TEST_F(TelemetryTest, MeasurementsAreScaledAndWattsFallBackToVoltsTimesAmps) {
    battery({{"PowerOutDetails",
              list({dict({{"PortIndex", whole(1)}, {"AdapterVoltage", whole(5000)}, {"Current", whole(1500)}}),
                    dict({{"PortIndex", whole(2)}, {"AdapterVoltage", whole(5000)}, {"Current", whole(1500)},
                          {"Watts", whole(9000)}}),
                    dict({{"PortIndex", whole(3)}, {"ConfiguredVoltage", whole(5000)}, {"ConfiguredCurrent", whole(3000)}}),
                    dict({{"PortIndex", whole(4)}, {"ConfiguredVoltage", whole(5000)}, {"Current", whole(100)}})})}});
    auto snapshot = telemetry.read(Telemetry::DeviceMap{});
    ASSERT_EQ(snapshot.ports.size(), 4u);
    EXPECT_EQ(snapshot.ports[0].volts, 5.0);
    EXPECT_EQ(snapshot.ports[0].amps, 1.5);
    EXPECT_EQ(snapshot.ports[0].watts, 7.5);
    EXPECT_FALSE(snapshot.ports[0].configuredWatts);
    EXPECT_EQ(snapshot.ports[1].watts, 9.0);  // the published figure wins over V × A
    EXPECT_EQ(snapshot.ports[2].configuredWatts, 15.0);
    EXPECT_FALSE(snapshot.ports[2].watts);
    EXPECT_FALSE(snapshot.ports[3].configuredWatts);
    EXPECT_FALSE(snapshot.ports[3].watts);  // amps alone give no power
    EXPECT_EQ(snapshot.ports[3].amps, 0.1);
    EXPECT_FALSE(snapshot.error);
}

TEST_F(TelemetryTest, EntriesWithoutAPositivePortIndexGiveNoReading) {
    battery({{"PowerOutDetails", list({dict({{"PortIndex", whole(0)}}), dict({{"PortIndex", num(-2)}}),
                                       dict({{"PortIndex", str("1")}}), dict({{"PortIndex", flag(true)}}),
                                       dict({{"Watts", whole(100)}})})}});
    auto snapshot = telemetry.read(Telemetry::DeviceMap{});
    EXPECT_TRUE(snapshot.ports.empty());
    EXPECT_EQ(snapshot.error, Telemetry::kNoReadablePortMessage);
}

TEST_F(TelemetryTest, ReadingsAreSortedStablyAndNeverMerged) {
    battery({{"PowerOutDetails", list({dict({{"PortIndex", whole(3)}, {"Watts", whole(3000)}}),
                                       dict({{"PortIndex", whole(1)}, {"Watts", whole(1000)}}),
                                       dict({{"PortIndex", whole(3)}, {"Watts", whole(3500)}}),
                                       dict({{"PortIndex", num(2.9)}, {"Watts", whole(2000)}})})}});
    Telemetry::DeviceMap devices{{5, {ConnectedDevice{"SSD", "", ""}}}, {1, {ConnectedDevice{"iPad", "S", "500:1"}}}};
    auto snapshot = telemetry.read(devices);
    std::vector<std::pair<int, std::optional<double>>> seen;
    for (const auto& p : snapshot.ports) seen.emplace_back(p.port, p.watts);
    EXPECT_EQ(seen, (std::vector<std::pair<int, std::optional<double>>>{
                        {1, 1.0}, {2, 2.0}, {3, 3.0}, {3, 3.5}, {5, std::nullopt}}));
    EXPECT_EQ(snapshot.ports[0].devices, std::vector<std::string>{"iPad"});
    EXPECT_EQ(snapshot.ports[4].devices, std::vector<std::string>{"SSD"});
}

TEST_F(TelemetryTest, UnavailableMessagesKeepTheDevicesListed) {
    Telemetry::DeviceMap devices{{2, {ConnectedDevice{"iPhone", "P", "500:2"}}}, {1, {ConnectedDevice{"iPad", "Q", "500:3"}}}};
    auto none = telemetry.read(devices);
    EXPECT_EQ(none.error, Telemetry::kNoPowerServiceMessage);
    ASSERT_EQ(none.ports.size(), 2u);
    EXPECT_EQ(none.ports[0].port, 1);
    EXPECT_FALSE(none.powerDataUpdatedAt);

    battery({{"PowerOutDetails", list({dict({{"PortIndex", whole(1)}}), whole(4)})}, {"UpdateTime", whole(1796596200)}});
    auto malformed = telemetry.read(devices);
    EXPECT_EQ(malformed.error, Telemetry::kNoPortReadingsMessage);
    EXPECT_EQ(malformed.ports.size(), 2u);
    EXPECT_FALSE(malformed.ports[0].watts);
    EXPECT_FALSE(malformed.powerDataUpdatedAt);  // no time stamp on the unavailable path
}

TEST_F(TelemetryTest, RefusedOrEmptyBatteryPropertiesMeanNoPortReadings) {
    platform::sim::SimEntrySpec entrySpec;
    entrySpec.id = 9;
    entrySpec.className = "AppleSmartBattery";
    entrySpec.properties = {{"PowerOutDetails", list({dict({{"PortIndex", whole(1)}})})}};
    entrySpec.propertiesFail = true;
    registry.addEntry(entrySpec);
    EXPECT_EQ(telemetry.read(Telemetry::DeviceMap{}).error, Telemetry::kNoPortReadingsMessage);
}

TEST_F(TelemetryTest, DevicesArePlacedOnTheFirstUSBCPortAboveThem) {
    const auto port1 = build.usbC(1);
    // Four ancestors that do not qualify, then the USB-C port as the fifth.
    const auto a = build.add("IOPortTransport", {}, port1);
    const auto b = build.add("IOPortTransport", {{"ParentPortTypeDescription", str("USB-A")}, {"ParentPortNumber", whole(7)}}, a);
    const auto c = build.add("IOPortTransport", {{"ParentPortTypeDescription", str("USB-C")}}, b);
    const auto d = build.add("IOPortTransport", {{"ParentPortNumber", whole(8)}}, c);
    build.device(d, {{"USB Product Name", str("Deep")}, {"USB Serial Number", str("D-1")}, {"sessionID", whole(42)}});
    // Booleans count as port numbers here, as 1 for true.
    const auto boolPort = build.port("USB-C", flag(true));
    build.device(boolPort, {{"kUSBProductString", str("Fallback Name")}, {"kUSBSerialNumberString", str("F")}});
    // A present but non-string product name is not replaced by the second key.
    build.device(port1, {{"USB Product Name", whole(3)}, {"kUSBProductString", str("Hidden")}});
    build.add("IOUSBHostDevice", {{"USB Product Name", str("Nowhere")}});  // not in the IOPort plane

    auto devices = telemetry.connectedDevices();
    ASSERT_EQ(devices.size(), 1u);
    const auto& list1 = devices.at(1);
    ASSERT_EQ(list1.size(), 2u);
    EXPECT_EQ(list1[0].name, "Deep");
    EXPECT_EQ(list1[0].serial, "D-1");
    EXPECT_EQ(list1[0].connectionID, "500:42");
    EXPECT_EQ(list1[1].name, "Fallback Name");
    EXPECT_EQ(list1[1].serial, "F");
    EXPECT_EQ(list1[1].connectionID, "");
}

TEST_F(TelemetryTest, PortWalkExaminesAtMostTwelveAncestors) {
    auto chainOf = [&](int length) {
        platform::EntryID top = build.usbC(length);
        for (int i = 1; i < length; ++i) top = build.add("IOPortTransport", {}, top);
        build.device(top, {{"USB Product Name", str("chain " + std::to_string(length))}});
    };
    chainOf(12);  // the USB-C port is the twelfth entry examined
    chainOf(13);
    auto devices = telemetry.connectedDevices();
    EXPECT_EQ(devices.count(12), 1u);
    EXPECT_EQ(devices.count(13), 0u);
}

TEST_F(TelemetryTest, SerialFallsBackOnlyWhenTheFirstKeyIsAbsent) {
    const auto port = build.usbC(2);
    build.device(port, {{"USB Product Name", str("A")}, {"USB Serial Number", whole(5)}, {"kUSBSerialNumberString", str("X")},
                        {"sessionID", flag(true)}});
    build.device(port, {{"USB Product Name", str("B")}, {"sessionID", num(7.5)}});
    auto devices = telemetry.connectedDevices().at(2);
    EXPECT_EQ(devices[0].serial, "");
    EXPECT_EQ(devices[0].connectionID, "");
    EXPECT_EQ(devices[1].serial, "");
    EXPECT_EQ(devices[1].connectionID, "500:7.5");
}

TEST_F(TelemetryTest, ReportedLevelNeedsAnUnambiguousSelfConsistentMatch) {
    component(1, 1452, 10);  // matched, ratio 79 % against 80 %: within 2 points
    component(2, 1452, 11);  // ratio 77.9 % against 80 %: off by more than 2 points
    component(3, 1452, 12);  // twice in FedDetails
    component(4, 1452, 13);  // remaining 65535, although its ratio would agree
    component(5, 1452, 14);  // same partner as port 6: cannot tell them apart
    component(6, 1452, 14);
    component(7, 1452, 15);  // state of charge above 100
    component(8, 1452, 16);  // design capacity zero
    component(9, 1452, 17);  // remaining above design, within 2 points
    component(10, 1452, 18); // 1.75 points off: accepted, truncated to 51
    component(11, 1452, 19); // exactly 2 points off: accepted
    component(12, 1452, 20); // 2.25 points off: refused
    component(13, 1452, 21); // full: 100 % with remaining equal to design is accepted
    battery({{"FedDetails", list({fed(1452, 10, 80, 7900, 10000), fed(1452, 11, 80, 7790, 10000),
                                  fed(1452, 12, 50, 50, 100), fed(1452, 12, 50, 50, 100), fed(1452, 13, 50, 65535, 131070),
                                  fed(1452, 14, 50, 50, 100), fed(1452, 15, 101, 101, 100), fed(1452, 16, 0, 0, 0),
                                  fed(1452, 17, 100, 101, 100), fed(1452, 18, 51.75, 4, 8),
                                  fed(1452, 19, 52, 4, 8), fed(1452, 20, 52.25, 4, 8), fed(1452, 21, 100, 100, 100)})}});
    auto props = Telemetry::properties(*registry.firstMatchingService("AppleSmartBattery"));
    auto levels = telemetry.reportedBatteryLevels(props);
    EXPECT_EQ(levels, (std::map<int, int>{{1, 80}, {10, 51}, {11, 52}, {13, 100}}));
}

TEST_F(TelemetryTest, ADeviceOnNoUSBCPortSitsOnThePlainUSBPortAboveItNamedAsTheComputerNamesIt) {
    // A hub's own port carries no type; the walk goes on to the computer's port. USB-C wins
    // wherever it stands in the chain.
    const auto plain = build.add("IOPortFeatureUSB",
                                 {{"ParentPortTypeDescription", str("USB")}, {"ParentPortNumber", whole(102)},
                                  {"PortName", str("1-2")}},
                                 std::nullopt, true);
    const auto hubPort = build.add("IOPortTransport", {}, plain);
    build.device(hubPort, {{"USB Product Name", str("iPad")}, {"USB Serial Number", str("S-1")}, {"sessionID", whole(7)}});
    const auto unnamed = build.port("USB", whole(5));
    build.device(unnamed, {{"USB Product Name", str("Keyboard")}});
    const auto usbC = build.usbC(2);
    build.device(usbC, {{"USB Product Name", str("SSD")}});
    battery({{"PowerOutDetails", list({dict({{"PortIndex", whole(2)}, {"Watts", whole(4500)}})})}});

    const Snapshot snapshot = telemetry.read();
    ASSERT_EQ(snapshot.ports.size(), 3u);
    EXPECT_EQ(snapshot.ports[0].port, 2);
    EXPECT_FALSE(snapshot.ports[0].name);
    EXPECT_EQ(portTitle(snapshot.ports[0]), "USB-C 2");
    EXPECT_EQ(snapshot.ports[1].port, PortReading::kPlainPortBase + 5);
    EXPECT_EQ(portTitle(snapshot.ports[1]), "USB 5");
    EXPECT_EQ(snapshot.ports[2].port, PortReading::kPlainPortBase + 102);
    EXPECT_EQ(portTitle(snapshot.ports[2]), "USB 1-2");
    EXPECT_EQ(snapshot.ports[2].devices, std::vector<std::string>{"iPad"});
    EXPECT_FALSE(snapshot.ports[2].watts);
}

TEST_F(TelemetryTest, ReportedLevelRequiresUSBCComponentsAndAListOfDictionaries) {
    build.add("IOPortTransportComponentCCUSBPDSOP",
              {{"ParentPortTypeDescription", str("USB-A")}, {"ParentPortNumber", whole(1)},
               {"Metadata", dict({{"Vendor ID", whole(1)}, {"Product ID", whole(2)}})}});
    build.add("IOPortTransportComponentCCUSBPDSOP",
              {{"ParentPortTypeDescription", str("USB-C")}, {"ParentPortNumber", whole(2)}});  // no Metadata
    component(3, 1, 3);
    const auto good = list({fed(1, 2, 50, 50, 100), fed(1, 3, 50, 50, 100)});
    EXPECT_EQ(telemetry.reportedBatteryLevels({{"FedDetails", good}}), (std::map<int, int>{{3, 50}}));
    EXPECT_TRUE(telemetry.reportedBatteryLevels({{"FedDetails", list({fed(1, 3, 50, 50, 100), whole(1)})}}).empty());
    EXPECT_TRUE(telemetry.reportedBatteryLevels({}).empty());
    registry.setMatchingResult("IOPortTransportComponentCCUSBPDSOP", platform::kResultError);
    EXPECT_TRUE(telemetry.reportedBatteryLevels({{"FedDetails", good}}).empty());
}

TEST_F(TelemetryTest, LaterTripleForTheSamePortOverwrites) {
    component(1, 1, 1);
    component(1, 1, 2);
    auto levels = telemetry.reportedBatteryLevels(
        {{"FedDetails", list({fed(1, 1, 40, 40, 100), fed(1, 2, 60, 60, 100)})}});
    EXPECT_EQ(levels, (std::map<int, int>{{1, 60}}));
}

TEST_F(TelemetryTest, PowerDataTimestampTakesTheNewestAcceptableStamp) {
    const double now = 1796596216.0;
    const auto at = [&](double offset) { return platform::dateFromSecondsSince1970(now + offset); };
    const auto stamp = [&](platform::PropertyDictionary props) {
        return Telemetry::powerDataTimestamp(props, at(0));
    };
    EXPECT_FALSE(stamp({}));
    EXPECT_EQ(stamp({{"UpdateTime", num(now + 4)}}), at(4));
    EXPECT_EQ(stamp({{"UpdateTime", num(now + 5)}}), at(5));
    EXPECT_FALSE(stamp({{"UpdateTime", num(now + 5.01)}}));
    EXPECT_FALSE(stamp({{"UpdateTime", num(now + 10)}, {"BootPathUpdated", whole(0)}, {"FullPathUpdated", flag(true)}}));
    EXPECT_EQ(stamp({{"UpdateTime", num(now - 30)}, {"UserVisiblePathUpdated", num(now - 10)},
                     {"FullPathUpdated", num(now - 2)}, {"BootPathUpdated", num(now - 20)}}),
              at(-2));
    EXPECT_EQ(stamp({{"BootPathUpdated", num(now - 1)}, {"FullPathUpdated", num(now + 60)}}), at(-1));
    EXPECT_FALSE(stamp({{"UnrelatedKey", num(now)}}));
}

TEST_F(TelemetryTest, SnapshotTakesTimeStampAndSampleTimeFromTheClock) {
    battery({{"PowerOutDetails", list({dict({{"PortIndex", whole(1)}})})}, {"UpdateTime", num(1796596210)}});
    auto snapshot = telemetry.read(Telemetry::DeviceMap{});
    EXPECT_EQ(snapshot.sampledAt, "2026-12-06T22:30:16Z");
    EXPECT_EQ(snapshot.powerDataUpdatedAt, platform::dateFromSecondsSince1970(1796596210));
    EXPECT_TRUE(snapshot.batteries.empty());
}

}  // namespace
}  // namespace ampwell
