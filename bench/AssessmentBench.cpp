// Cost of the two per-refresh judgements: the trend monitor with a full hour of history and the
// charge monitor on a four-port snapshot.
#include "app/assessment/BatteryTrendMonitor.hpp"
#include "app/assessment/ChargeMonitor.hpp"

#include <benchmark/benchmark.h>

namespace ampwell {
namespace {

using platform::Date;
using platform::Seconds;

const Date kStart = platform::dateFromSecondsSince1970(1'800'000'000.0);

DeviceBattery battery(int percent, bool charging, Date sampledAt) {
    DeviceBattery record;
    record.serial = "00008103-001A";
    record.deviceClass = "iPad";
    record.percent = percent;
    record.isCharging = charging;
    record.externalConnected = true;
    record.sampledAt = sampledAt;
    record.connectionID = "4242";
    return record;
}

// Each call adds one sample 15 s after the last and drops the one that left the hour, so the
// series stays at 241 samples. A steady charge means no drop evidence is found: every sample is
// scanned, the most a call can cost.
void trendUpdateOverAFullHour(benchmark::State& state) {
    BatteryTrendMonitor monitor;
    const std::optional<std::string> connection = std::string("000081030001a:boot-1:4242");
    double offset = 0;
    for (; offset <= 3600; offset += 15)
        monitor.update(connection, battery(60, true, kStart + Seconds(offset)), kStart + Seconds(offset));
    std::optional<DeviceBattery> next = battery(60, true, kStart);
    for (auto _ : state) {
        const Date now = kStart + Seconds(offset);
        next->sampledAt = now;
        benchmark::DoNotOptimize(monitor.update(connection, next, now));
        offset += 15;
    }
    if (monitor.samples().size() != 241) state.SkipWithError("the series did not hold a full hour");
}
BENCHMARK(trendUpdateOverAFullHour);

PortReading port(int number, std::string name, std::string serial, std::string session, double watts) {
    PortReading reading;
    reading.port = number;
    reading.connections = {ConnectedDevice{std::move(name), std::move(serial), "boot-1:" + std::move(session)}};
    reading.devices = deviceNames(reading.connections);
    reading.watts = watts;
    reading.volts = 5.0;
    reading.amps = watts / 5.0;
    reading.configuredWatts = 15.0;
    return reading;
}

// Four occupied ports, one iPad charging at 12 W with its battery record among three.
void chargeUpdateOnFourPorts(benchmark::State& state) {
    Snapshot snapshot;
    snapshot.sampledAt = "2027-01-15T08:00:00Z";
    snapshot.ports = {port(1, "USB Keyboard", "KB-77", "11", 0.5), port(2, "External SSD", "SSD-1", "12", 4.5),
                      port(3, "iPad Pro", "00008103-001A", "4242", 12.0), port(4, "USB Hub", "", "13", 1.0)};
    DeviceBattery phone = battery(55, true, kStart);
    phone.serial = "00008110-0022";
    phone.deviceClass = "iPhone";
    DeviceBattery other = battery(70, false, kStart);
    other.serial = "00008101-0033";
    snapshot.batteries = {phone, other, battery(64, true, kStart)};
    ChargeMonitor monitor;
    for (auto _ : state) benchmark::DoNotOptimize(monitor.update(snapshot, snapshot.batteries, 10.0, kStart));
    if (monitor.update(snapshot, snapshot.batteries, 10.0, kStart).message != "iPad 64% · 充电中 · 正常功率")
        state.SkipWithError("the iPad was not judged");
}
BENCHMARK(chargeUpdateOnFourPorts);

}  // namespace
}  // namespace ampwell

BENCHMARK_MAIN();
