#include "app/assessment/DeviceAccounts.hpp"

#include "app/assessment/ChargeMonitor.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

using platform::Date;

const Date kNow = platform::dateFromSecondsSince1970(1'800'000'000.0);

SupplyAccount account(std::optional<double> input, std::optional<double> offer) {
    SupplyAccount result;
    result.entry = "AppleSmartBattery";
    result.inputWatts = input;
    result.offerWatts = offer;
    result.offerVolts = offer ? std::optional<double>(5.0) : std::nullopt;
    return result;
}

// An iPad alone on port 1, whose own record (fresh, same USB session) carries `supply`.
Snapshot silentDesk(std::optional<SupplyAccount> supply, std::optional<double> computerWatts = std::nullopt) {
    Snapshot snapshot;
    PortReading reading;
    reading.port = 1;
    reading.connections = {{"iPad", "00008103-001A", "boot:42"}};
    reading.devices = deviceNames(reading.connections);
    reading.watts = computerWatts;
    snapshot.ports = {reading};
    DeviceBattery battery{"00008103001A", "iPad", 64, true, true, kNow, "42", std::move(supply)};
    snapshot.batteries = {battery};
    return snapshot;
}

TEST(DeviceAccounts, TheComputersOwnReadingWinsAndOnlyItsSilentPortsAreAskedAbout) {
    Snapshot reporting = silentDesk(account(2.4, 20), 18.1);
    EXPECT_TRUE(silentDeviceSerials(reporting).empty());
    applyDeviceAccounts(reporting, kNow);
    EXPECT_EQ(reporting.ports[0].watts, 18.1);
    EXPECT_EQ(reporting.ports[0].source, FigureSource::computer);

    Snapshot silent = silentDesk(account(2.4, 20));
    EXPECT_EQ(silentDeviceSerials(silent), std::set<std::string>{"00008103001a"});
    applyDeviceAccounts(silent, kNow);
    EXPECT_EQ(silent.ports[0].watts, 2.4);
    EXPECT_EQ(silent.ports[0].source, FigureSource::deviceInput);
    EXPECT_EQ(silent.ports[0].configuredWatts, 20) << "the offer is the limit the two ends agreed on";
    EXPECT_EQ(toJSON(silent).at("ports")[0].at("source"), "device-input");
}

TEST(DeviceAccounts, AnAccountOfAnotherSessionOrTooOldStandsInForNothing) {
    Snapshot replugged = silentDesk(account(2.4, 20));
    replugged.batteries[0].connectionID = "41";
    applyDeviceAccounts(replugged, kNow);
    EXPECT_FALSE(replugged.ports[0].watts);

    Snapshot stale = silentDesk(account(2.4, 20));
    stale.batteries[0].sampledAt = kNow - platform::Seconds(76);
    applyDeviceAccounts(stale, kNow);
    EXPECT_FALSE(stale.ports[0].watts);
}

TEST(DeviceAccounts, TheVerdictJudgesTheOfferAloneAndSaysSoEvenWhenTheComputerReportsAnError) {
    Snapshot snapshot = silentDesk(account(std::nullopt, 7.5));
    snapshot.error = "这台电脑未提供 USB 输出功率信息";
    applyDeviceAccounts(snapshot, kNow);
    ASSERT_EQ(snapshot.ports[0].source, FigureSource::chargerOffer);
    ChargeMonitor monitor;
    const ChargeStatus low = monitor.update(snapshot, snapshot.batteries, 10, kNow);
    EXPECT_EQ(low.state, IndicatorState::low);
    EXPECT_EQ(low.message, "iPad 64% · 充电中 · 低功率（按充电器标称）");

    // The same error with the computer's own (absent) figure still cannot be judged.
    Snapshot computer = silentDesk(std::nullopt, 12.0);
    computer.error = "这台电脑未提供 USB 输出功率信息";
    EXPECT_EQ(monitor.update(computer, computer.batteries, 10, kNow).message, "iPad 64% · 功率暂不可用");
}

}  // namespace
}  // namespace ampwell
