#include "app/model/Snapshot.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

ConnectedDevice device(std::string name, std::string serial, std::string connection) {
    return ConnectedDevice{std::move(name), std::move(serial), std::move(connection)};
}

PortReading port(int number, std::vector<ConnectedDevice> connections) {
    PortReading reading;
    reading.port = number;
    reading.devices = deviceNames(connections);
    reading.connections = std::move(connections);
    return reading;
}

TEST(SnapshotConnections, NoConnectedDeviceGivesEmptyDerivedValues) {
    Snapshot snapshot{"2026-12-06T22:30:16Z", {port(1, {}), port(2, {})}, std::nullopt, std::nullopt, {}};
    EXPECT_TRUE(snapshot.connectedPorts().empty());
    EXPECT_EQ(snapshot.connectionSignature(), "");
    EXPECT_FALSE(snapshot.hasMobileDevices());
}

TEST(SnapshotConnections, ConnectedPortsKeepPortOrder) {
    Snapshot snapshot{"", {port(1, {device("a", "", "")}), port(2, {}), port(3, {device("b", "", "")})}, {}, {}, {}};
    auto connected = snapshot.connectedPorts();
    ASSERT_EQ(connected.size(), 2u);
    EXPECT_EQ(connected[0].port, 1);
    EXPECT_EQ(connected[1].port, 3);
}

TEST(SnapshotConnections, SignatureEntryFormAndNormalisedSerial) {
    Snapshot snapshot{"", {port(2, {device("iPad", "00008103-001A", "1234:42")})}, {}, {}, {}};
    EXPECT_EQ(snapshot.connectionSignature(), "2:00008103001a:1234:42:iPad");

    Snapshot blank{"", {port(1, {device("x", "AB-12 ", "c")})}, {}, {}, {}};
    Snapshot plain{"", {port(1, {device("x", "ab12", "c")})}, {}, {}, {}};
    EXPECT_EQ(blank.connectionSignature(), plain.connectionSignature());
}

TEST(SnapshotConnections, SignatureIgnoresListingOrderButSeesReplugs) {
    Snapshot a{"", {port(1, {device("b", "2", "s:2"), device("a", "1", "s:1")}), port(3, {device("c", "3", "s:3")})}, {}, {}, {}};
    Snapshot b{"", {port(1, {device("a", "1", "s:1"), device("b", "2", "s:2")}), port(3, {device("c", "3", "s:3")})}, {}, {}, {}};
    EXPECT_EQ(a.connectionSignature(), b.connectionSignature());
    EXPECT_EQ(a.connectionSignature(), "1:1:s:1:a|1:2:s:2:b|3:3:s:3:c");

    Snapshot replugged{"", {port(1, {device("a", "1", "s:9"), device("b", "2", "s:2")}), port(3, {device("c", "3", "s:3")})}, {}, {}, {}};
    EXPECT_NE(a.connectionSignature(), replugged.connectionSignature());
    // The same device moved to another port is another connection.
    Snapshot moved{"", {port(2, {device("a", "1", "s:1"), device("b", "2", "s:2")}), port(3, {device("c", "3", "s:3")})}, {}, {}, {}};
    EXPECT_NE(a.connectionSignature(), moved.connectionSignature());
}

TEST(SnapshotConnections, MobileDevicesAreFoundByCaseInsensitiveContainment) {
    auto withName = [](std::string name) {
        return Snapshot{"", {port(1, {device(std::move(name), "", "")})}, {}, {}, {}};
    };
    EXPECT_TRUE(withName("IPHONE").hasMobileDevices());
    EXPECT_TRUE(withName("my ipod touch").hasMobileDevices());
    EXPECT_TRUE(withName("Apple iPad Pro").hasMobileDevices());
    EXPECT_FALSE(withName("Pad").hasMobileDevices());
    EXPECT_FALSE(withName("USB Keyboard").hasMobileDevices());
}

TEST(SnapshotJSON, AbsentOptionalsAreOmittedNotNull) {
    PortReading bare;
    bare.port = 4;
    auto json = toJSON(bare);
    EXPECT_EQ(json.dump(), R"({"connections":[],"devices":[],"port":4})");
}

TEST(SnapshotJSON, FullSnapshotRoundTripsWithSortedKeysAnd2001Dates) {
    PortReading reading = port(1, {device("iPad", "S-1", "100:7")});
    reading.watts = 7.5;
    reading.volts = 5.0;
    reading.amps = 1.5;
    reading.reportedBatteryPercent = 80;
    reading.configuredWatts = 15.0;
    DeviceBattery battery{"S-1", "iPad", 80, false, true, platform::dateFromSecondsSince2001(100.5), "7", std::nullopt};
    Snapshot snapshot{"2026-12-06T22:30:16Z", {reading}, std::string("x"),
                      platform::dateFromSecondsSince1970(978307200.0 + 12.25), {battery}};
    auto json = toJSON(snapshot);
    EXPECT_DOUBLE_EQ(json["powerDataUpdatedAt"].get<double>(), 12.25);
    EXPECT_DOUBLE_EQ(json["batteries"][0]["sampledAt"].get<double>(), 100.5);
    const std::string text = json.dump(2);
    EXPECT_LT(text.find("\"batteries\""), text.find("\"error\""));
    EXPECT_LT(text.find("\"error\""), text.find("\"ports\""));
    EXPECT_LT(text.find("\"amps\""), text.find("\"configuredWatts\""));

    Snapshot back = snapshotFromJSON(json);
    EXPECT_EQ(toJSON(back), json);
}

TEST(SnapshotJSON, DecodingRequiresTheMandatoryKeys) {
    EXPECT_THROW(snapshotFromJSON(nlohmann::json{{"ports", nlohmann::json::array()}}), nlohmann::json::exception);
    EXPECT_THROW(portReadingFromJSON(nlohmann::json{{"port", 1}, {"devices", nlohmann::json::array()}}),
                 nlohmann::json::exception);
    auto reading = portReadingFromJSON(
        nlohmann::json{{"port", 1}, {"devices", nlohmann::json::array()}, {"connections", nlohmann::json::array()}});
    EXPECT_FALSE(reading.watts.has_value());
    EXPECT_FALSE(reading.reportedBatteryPercent.has_value());
}

TEST(SnapshotTime, Iso8601IsUtcWithWholeSecondsAndZ) {
    EXPECT_EQ(iso8601(platform::dateFromSecondsSince1970(1765060216.9)), "2025-12-06T22:30:16Z");
    EXPECT_EQ(iso8601(platform::dateFromSecondsSince1970(0)), "1970-01-01T00:00:00Z");
    // Dates beyond the four-digit years end at the last representable second.
    EXPECT_EQ(iso8601(platform::dateFromSecondsSince1970(1e18)), "9999-12-31T23:59:59Z");
    EXPECT_EQ(iso8601(platform::dateFromSecondsSince1970(-1e18)), "0001-01-01T00:00:00Z");
}

}  // namespace
}  // namespace ampwell
