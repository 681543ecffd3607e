#include "app/assessment/ChargeMonitor.hpp"

#include "tests/unit/support/MemoryDefaults.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ampwell {
namespace {

using platform::Date;
using platform::PropertyValue;

const Date kNow = platform::dateFromSecondsSince1970(1'800'000'000.0);
constexpr const char* kHeldKey = "limitHoldConnection";
constexpr const char* kKey = "SER-1:boot:42";

ConnectedDevice iPad(std::string serial = "SER-1", std::string connectionID = "boot:42") {
    return {"iPad Pro", std::move(serial), std::move(connectionID)};
}

PortReading port(int number, std::vector<ConnectedDevice> connections, std::optional<double> watts = 20.0) {
    PortReading reading;
    reading.port = number;
    reading.connections = std::move(connections);
    reading.devices = deviceNames(reading.connections);
    reading.watts = watts;
    return reading;
}

DeviceBattery reading(std::optional<int> percent, std::optional<bool> charging, double ageSeconds = 0) {
    DeviceBattery battery;
    battery.serial = "ser1";
    battery.deviceClass = "iPad";
    battery.percent = percent;
    battery.isCharging = charging;
    battery.externalConnected = true;
    battery.sampledAt = kNow - platform::Seconds(ageSeconds);
    battery.connectionID = "42";
    return battery;
}

Snapshot snapshot(std::vector<PortReading> ports) {
    Snapshot result;
    result.ports = std::move(ports);
    return result;
}

// One iPad on port 1 with the given watts.
ChargeStatus judge(ChargeMonitor& monitor, const DeviceBattery& battery, std::optional<double> watts = 20.0,
                   double threshold = 10.0) {
    return monitor.update(snapshot({port(1, {iPad()}, watts)}), {battery}, threshold, kNow);
}

TEST(ChargeMonitor, WithoutAnIPadNothingIsJudgedAndAPersistedHoldIsRemoved) {
    MemoryDefaults defaults;
    defaults.set(kHeldKey, PropertyValue::string(kKey));
    ChargeMonitor monitor(defaults);
    ASSERT_EQ(monitor.heldConnection(), kKey);

    const ChargeStatus status =
        monitor.update(snapshot({port(1, {{"Keyboard", "K1", "boot:7"}}), port(2, {})}), {reading(50, true)}, 10, kNow);
    EXPECT_EQ(status.state, IndicatorState::unavailable);
    EXPECT_EQ(status.message, "iPad 未连接");
    EXPECT_FALSE(status.battery);
    EXPECT_FALSE(monitor.heldConnection());
    EXPECT_FALSE(defaults.contains(kHeldKey));
}

TEST(ChargeMonitor, TheIPadIsFoundByNameWhateverItsCase) {
    ChargeMonitor monitor;
    ConnectedDevice device = iPad();
    for (const char* name : {"Apple IPAD mini", "ipad", "Jürgen’s iPaD"}) {
        device.name = name;
        EXPECT_EQ(monitor.update(snapshot({port(1, {device})}), {reading(50, true)}, 10, kNow).message,
                  "iPad 50% · 充电中 · 正常功率")
            << name;
    }
    for (const char* name : {"Pad", "i Pad", "iPhone", "Jürgen’s iPd"}) {
        device.name = name;
        EXPECT_EQ(monitor.update(snapshot({port(1, {device})}), {reading(50, true)}, 10, kNow).message, "iPad 未连接")
            << name;
    }
}

TEST(ChargeMonitor, AnIPadThatCannotBePinnedDownIsNotJudgedAndReleasesTheHold) {
    const std::vector<std::pair<const char*, std::vector<PortReading>>> cases{
        {"two iPad ports", {port(1, {iPad()}), port(2, {iPad("SER-2", "boot:43")})}},
        {"two connections on the port", {port(1, {iPad(), {"Hub", "H", "boot:44"}})}},
        {"no serial", {port(1, {iPad("", "boot:42")})}},
        {"no connection ID", {port(1, {iPad("SER-1", "")})}},
    };
    for (const auto& [what, ports] : cases) {
        ChargeMonitor monitor;
        ASSERT_EQ(judge(monitor, reading(80, false)).state, IndicatorState::normal);  // arms the hold
        ASSERT_TRUE(monitor.heldConnection());
        const ChargeStatus status = monitor.update(snapshot(ports), {reading(80, false)}, 10, kNow);
        EXPECT_EQ(status.state, IndicatorState::unavailable) << what;
        EXPECT_EQ(status.message, "无法单独判断 iPad 状态") << what;
        EXPECT_FALSE(status.battery) << what;
        EXPECT_FALSE(monitor.heldConnection()) << what;
    }
}

TEST(ChargeMonitor, TheBatteryIsMatchedBySerialClassAndSession) {
    ChargeMonitor monitor;
    DeviceBattery spelled = reading(61, true);
    spelled.serial = "  S-E-r1\n";
    EXPECT_EQ(judge(monitor, spelled).message, "iPad 61% · 充电中 · 正常功率");

    DeviceBattery lowerClass = reading(61, true);
    lowerClass.deviceClass = "ipad";
    DeviceBattery otherSession = reading(61, true);
    otherSession.connectionID = "41";
    DeviceBattery noSession = reading(61, true);
    noSession.connectionID.reset();
    for (const auto& battery : {lowerClass, otherSession, noSession}) {
        const ChargeStatus status = judge(monitor, battery);
        EXPECT_EQ(status.state, IndicatorState::unavailable);
        EXPECT_EQ(status.message, "iPad 电量或充电状态暂不可用");
        EXPECT_FALSE(status.battery);
    }

    // The first matching record in the list wins.
    const ChargeStatus first =
        monitor.update(snapshot({port(1, {iPad()})}), {lowerClass, reading(62, true), reading(63, true)}, 10, kNow);
    EXPECT_EQ(first.message, "iPad 62% · 充电中 · 正常功率");
    ASSERT_TRUE(first.battery);
    EXPECT_EQ(first.battery->percent, 62);

    // A connection ID without a session part matches only a record without one.
    const Snapshot sessionless = snapshot({port(1, {iPad("SER-1", "::")})});
    EXPECT_EQ(monitor.update(sessionless, {noSession}, 10, kNow).state, IndicatorState::normal);
    EXPECT_EQ(monitor.update(sessionless, {reading(61, true)}, 10, kNow).state, IndicatorState::unavailable);
}

TEST(ChargeMonitor, SessionPartIsTheLastNonEmptyPiece) {
    EXPECT_EQ(connectionSessionPart("boot:42"), "42");
    EXPECT_EQ(connectionSessionPart("boot:42::"), "42");
    EXPECT_EQ(connectionSessionPart("plain"), "plain");
    EXPECT_EQ(connectionSessionPart(":7"), "7");
    EXPECT_EQ(connectionSessionPart(":::"), std::nullopt);
    EXPECT_EQ(connectionSessionPart(""), std::nullopt);
}

TEST(ChargeMonitor, ReadingsFromFiveSecondsAheadToSeventyFiveSecondsBackAreUsed) {
    ChargeMonitor monitor;
    for (double age : {-5.0, 0.0, 75.0})
        EXPECT_EQ(judge(monitor, reading(60, true, age)).state, IndicatorState::normal) << age;
    for (double age : {-6.0, 76.0}) {
        const ChargeStatus status = judge(monitor, reading(60, true, age));
        EXPECT_EQ(status.message, "iPad 电量或充电状态暂不可用") << age;
        EXPECT_FALSE(status.battery);
    }
}

TEST(ChargeMonitor, IncompleteReadingsAreUnavailable) {
    ChargeMonitor monitor;
    DeviceBattery noExternal = reading(60, true);
    noExternal.externalConnected.reset();
    for (const auto& battery :
         {reading(-1, true), reading(101, true), reading(std::nullopt, true), reading(60, std::nullopt), noExternal})
        EXPECT_EQ(judge(monitor, battery).message, "iPad 电量或充电状态暂不可用");
    EXPECT_EQ(judge(monitor, reading(0, true)).message, "iPad 0% · 充电中 · 正常功率");
    EXPECT_EQ(judge(monitor, reading(100, true)).message, "iPad 100% · 充电中 · 正常功率");
}

TEST(ChargeMonitor, UnknownDataNeitherArmsNorReleasesTheHold) {
    ChargeMonitor monitor;
    judge(monitor, reading(80, false));
    ASSERT_EQ(monitor.heldConnection(), kKey);
    EXPECT_EQ(judge(monitor, reading(78, false, 76)).state, IndicatorState::unavailable);
    EXPECT_EQ(judge(monitor, reading(std::nullopt, false)).state, IndicatorState::unavailable);
    EXPECT_EQ(monitor.heldConnection(), kKey);
    EXPECT_EQ(judge(monitor, reading(78, false), 2.0).message, "iPad 78% · 上限保护，等待补充");
}

TEST(ChargeMonitor, TheChargeCapHoldCoversSeventySixToSeventyNinePercent) {
    ChargeMonitor monitor;
    // Nothing held yet: a pause below the cap is judged by power.
    EXPECT_EQ(judge(monitor, reading(79, false), 2.0).message, "iPad 79% · 未充电 · 低功率");
    EXPECT_FALSE(monitor.heldConnection());

    ChargeStatus status = judge(monitor, reading(80, false), std::nullopt);
    EXPECT_EQ(status.state, IndicatorState::normal);
    EXPECT_EQ(status.message, "iPad 80% · 已达 80% 上限，暂停充电");
    ASSERT_TRUE(status.battery);
    EXPECT_EQ(monitor.heldConnection(), kKey);

    for (int percent : {79, 78, 76}) {
        status = judge(monitor, reading(percent, false), 2.0);
        EXPECT_EQ(status.state, IndicatorState::normal) << percent;
        EXPECT_EQ(status.message, "iPad " + std::to_string(percent) + "% · 上限保护，等待补充");
    }
    status = judge(monitor, reading(75, false), 2.0);
    EXPECT_EQ(status.state, IndicatorState::low);
    EXPECT_EQ(status.message, "iPad 75% · 未充电 · 低功率");
    EXPECT_FALSE(monitor.heldConnection());
    EXPECT_EQ(judge(monitor, reading(78, false), 2.0).state, IndicatorState::low);

    EXPECT_EQ(judge(monitor, reading(100, false), 2.0).message, "iPad 100% · 已达 80% 上限，暂停充电");
}

TEST(ChargeMonitor, ChargingLostPowerOrAnotherConnectionEndTheHold) {
    ChargeMonitor monitor;
    judge(monitor, reading(85, false));
    EXPECT_EQ(judge(monitor, reading(85, true), 2.0).message, "iPad 85% · 充电中 · 低功率");
    EXPECT_FALSE(monitor.heldConnection());

    judge(monitor, reading(80, false));
    DeviceBattery unplugged = reading(78, false);
    unplugged.externalConnected = false;
    const ChargeStatus status = judge(monitor, unplugged);
    EXPECT_EQ(status.state, IndicatorState::unavailable);
    EXPECT_EQ(status.message, "iPad 78% · 外部电源未连接");
    EXPECT_TRUE(status.battery);
    EXPECT_FALSE(monitor.heldConnection());

    judge(monitor, reading(80, false));
    DeviceBattery replugged = reading(78, false);
    replugged.connectionID = "43";
    const ChargeStatus other =
        monitor.update(snapshot({port(1, {iPad("SER-1", "boot:43")}, 2.0)}), {replugged}, 10, kNow);
    EXPECT_EQ(other.message, "iPad 78% · 未充电 · 低功率");
    EXPECT_FALSE(monitor.heldConnection());
}

TEST(ChargeMonitor, ExactlyTheThresholdIsEnough) {
    ChargeMonitor monitor;
    ChargeStatus status = judge(monitor, reading(60, true), 10.0, 10.0);
    EXPECT_EQ(status.state, IndicatorState::normal);
    EXPECT_EQ(status.message, "iPad 60% · 充电中 · 正常功率");
    status = judge(monitor, reading(60, true), 9.99, 10.0);
    EXPECT_EQ(status.state, IndicatorState::low);
    EXPECT_EQ(status.message, "iPad 60% · 充电中 · 低功率");
    EXPECT_EQ(judge(monitor, reading(60, true), 14.0, 15.0).state, IndicatorState::low);
}

TEST(ChargeMonitor, AnUnusablePowerReadingIsUnavailableButKeepsTheBattery) {
    ChargeMonitor monitor;
    for (std::optional<double> watts :
         {std::optional<double>{}, std::optional<double>{std::nan("")},
          std::optional<double>{std::numeric_limits<double>::infinity()}, std::optional<double>{-1.0}}) {
        const ChargeStatus status = judge(monitor, reading(60, true), watts);
        EXPECT_EQ(status.state, IndicatorState::unavailable);
        EXPECT_EQ(status.message, "iPad 60% · 功率暂不可用");
        EXPECT_TRUE(status.battery);
    }
    Snapshot failed = snapshot({port(1, {iPad()}, 20.0)});
    failed.error = "系统暂未提供各接口的输出读数";
    EXPECT_EQ(monitor.update(failed, {reading(60, true)}, 10, kNow).message, "iPad 60% · 功率暂不可用");
}

TEST(ChargeMonitor, TheHoldIsWrittenOnlyWhenItChanges) {
    MemoryDefaults defaults;
    ChargeMonitor monitor(defaults);
    EXPECT_TRUE(monitor.persists());
    judge(monitor, reading(80, false));
    judge(monitor, reading(81, false));
    judge(monitor, reading(78, false));
    EXPECT_EQ(defaults.sets(), 1);
    EXPECT_EQ(platform::stringDefault(defaults, kHeldKey), kKey);

    judge(monitor, reading(70, true));
    judge(monitor, reading(70, true));
    EXPECT_EQ(defaults.removes(), 1);
    EXPECT_FALSE(defaults.contains(kHeldKey));
    EXPECT_EQ(defaults.writes(), 2);
}

TEST(ChargeMonitor, APersistedHoldSurvivesARestartUntilAnotherConnectionAppears) {
    MemoryDefaults defaults;
    {
        ChargeMonitor first(defaults);
        judge(first, reading(80, false));
    }
    ChargeMonitor restarted(defaults);
    EXPECT_EQ(restarted.heldConnection(), kKey);
    EXPECT_EQ(judge(restarted, reading(77, false), 2.0).message, "iPad 77% · 上限保护，等待补充");

    DeviceBattery replugged = reading(77, false);
    replugged.connectionID = "43";
    restarted.update(snapshot({port(1, {iPad("SER-1", "boot:43")}, 2.0)}), {replugged}, 10, kNow);
    EXPECT_FALSE(restarted.heldConnection());
    EXPECT_FALSE(defaults.contains(kHeldKey));
}

TEST(ChargeMonitor, AStoredValueOfAnotherKindRestoresNoHold) {
    MemoryDefaults defaults;
    defaults.set(kHeldKey, PropertyValue::wholeNumber(3));
    ChargeMonitor monitor(defaults);
    EXPECT_FALSE(monitor.heldConnection());
    EXPECT_EQ(judge(monitor, reading(78, false), 2.0).state, IndicatorState::low);
}

TEST(ChargeMonitor, AMonitorWithoutPersistenceKeepsTheHoldInMemory) {
    ChargeMonitor monitor;
    EXPECT_FALSE(monitor.persists());
    judge(monitor, reading(80, false));
    EXPECT_EQ(monitor.heldConnection(), kKey);
}

}  // namespace
}  // namespace ampwell
