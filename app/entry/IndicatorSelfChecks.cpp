#include "app/entry/IndicatorSelfChecks.hpp"

#include "app/assessment/BatteryTrendMonitor.hpp"
#include "app/assessment/ChargeMonitor.hpp"
#include "app/assessment/SamplingCadence.hpp"
#include "app/model/Telemetry.hpp"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <vector>

namespace ampwell {
namespace {

using platform::Date;
using platform::PropertyDictionary;
using platform::PropertyValue;
using platform::Seconds;

struct CheckFailed {
    const char* step;
};

void expect(bool holds, const char* step) {
    if (!holds) throw CheckFailed{step};
}

// The iPad every check talks about: serial "test-ipad", on external power, read in "session-A".
DeviceBattery standardReading(std::optional<int> percent, std::optional<bool> charging, Date sampledAt,
                              const std::string& session = "session-A") {
    DeviceBattery battery;
    battery.serial = "test-ipad";
    battery.deviceClass = "iPad";
    battery.percent = percent;
    battery.isCharging = charging;
    battery.externalConnected = true;
    battery.sampledAt = sampledAt;
    battery.connectionID = session;
    return battery;
}

// Port 1 with that iPad attached and a 15 W contract.
PortReading standardPort(std::optional<double> watts, std::optional<int> reportedPercent,
                         const std::string& session = "session-A") {
    PortReading port;
    port.port = 1;
    port.devices = {"iPad"};
    port.connections = {ConnectedDevice{"iPad", "test-ipad", session}};
    port.configuredWatts = 15.0;
    port.watts = watts;
    port.reportedBatteryPercent = reportedPercent;
    return port;
}

Snapshot standardSnapshot(std::vector<PortReading> ports, std::vector<DeviceBattery> batteries) {
    Snapshot snapshot;
    snapshot.ports = std::move(ports);
    snapshot.batteries = std::move(batteries);
    return snapshot;
}

// One step of the charge-monitor sequence; everything not named is the standard reading and port.
struct ChargeStep {
    const char* name;
    std::optional<int> percent;
    std::optional<bool> charging;
    std::optional<double> watts;
    IndicatorState expected;
    bool externalConnected = true;
    double sampledOffset = 0;
    const char* session = "session-A";
};

class Checks {
public:
    explicit Checks(Date t0) : t0_(t0) {}

    void run() {
        cadenceDeadlines();
        powerDataTimestamps();
        cadenceThrottling();
        chargeHysteresis();
        severalDevices();
        drainAlerts();
        drainAgainstSampleTime();
    }

private:
    Date at(double offset) const { return t0_ + Seconds(offset); }

    IndicatorState judge(ChargeMonitor& monitor, const Snapshot& snapshot) const {
        return monitor.update(snapshot, snapshot.batteries, 10.0, t0_).state;
    }

    void cadenceDeadlines() {
        k1_.connectionsChanged(true, at(0));
        k1_.observePower(false);
        expect(k1_.isFast(at(29.9)), "K1");
        expect(!k1_.isFast(at(30)), "K1");

        SamplingCadence k2(at(30), true);
        expect(!k2.batteryReadDue(at(31), at(33)), "K2");
        expect(k2.batteryReadDue(at(31), at(61)), "K2");
        expect(k2.batteryReadDue(at(31.006), at(61)), "K2");

        k2.menuClosed();
        expect(!k2.isFast(at(11)), "K3");

        k2.connectionsChanged(true, at(0));
        k2.menuClosed();
        expect(k2.isFast(at(40)), "K4");
        expect(!k2.isFast(at(120)), "K4");
    }

    void powerDataTimestamps() const {
        const double s0 = platform::secondsSince1970(t0_);
        expect(!Telemetry::powerDataTimestamp({}, t0_), "P1");

        const PropertyDictionary future{{"UpdateTime", PropertyValue::boolean(true)},
                                        {"UserVisiblePathUpdated", PropertyValue::realNumber(s0 + 60)}};
        expect(!Telemetry::powerDataTimestamp(future, t0_), "P2");

        const PropertyDictionary past{{"UserVisiblePathUpdated", PropertyValue::realNumber(s0 - 10)},
                                      {"FullPathUpdated", PropertyValue::realNumber(s0 - 2)}};
        const auto newest = Telemetry::powerDataTimestamp(past, t0_);
        expect(newest && platform::secondsSince1970(*newest) == s0 - 2, "P3");
    }

    void cadenceThrottling() {
        expect(!k1_.batteryReadDue(at(0), at(1)), "K5");
        expect(k1_.batteryReadDue(at(0), at(5)), "K5");

        k1_.connectionsChanged(false, at(10));
        expect(!k1_.isFast(at(10)), "K6");

        k1_.connectionsChanged(true, at(0));
        expect(k1_.isFast(at(60)), "K7");
        expect(!k1_.isFast(at(120)), "K7");
        expect(!k1_.batteryReadDue(at(25), at(31)), "K7");

        k1_.observePower(false);
        expect(!k1_.isFast(at(60)), "K7b");
    }

    void chargeHysteresis() const {
        using S = IndicatorState;
        // One monitor for the whole sequence: each verdict depends on the ones before it.
        const ChargeStep steps[] = {
            {.name = "C1", .percent = 79, .charging = false, .watts = 2.0, .expected = S::low},
            {.name = "C2", .percent = 80, .charging = false, .watts = std::nullopt, .expected = S::normal},
            {.name = "C3", .percent = 79, .charging = false, .watts = 2.0, .expected = S::normal},
            {.name = "C4", .percent = 76, .charging = false, .watts = 2.0, .expected = S::normal},
            {.name = "C5", .percent = 75, .charging = false, .watts = 2.0, .expected = S::low},
            {.name = "C6", .percent = 80, .charging = false, .watts = 2.0, .expected = S::normal},
            {.name = "C7", .percent = 78, .charging = true, .watts = 2.0, .expected = S::low},
            {.name = "C8", .percent = 78, .charging = false, .watts = 2.0, .expected = S::low},
            {.name = "C9", .percent = 60, .charging = true, .watts = 10.0, .expected = S::normal},
            {.name = "C10", .percent = 60, .charging = true, .watts = 9.99, .expected = S::low},
            {.name = "C11", .percent = 80, .charging = false, .watts = 2.0, .expected = S::normal},
            {.name = "C12", .percent = 79, .charging = false, .watts = 2.0, .expected = S::low,
             .session = "session-B"},
            {.name = "C13", .percent = std::nullopt, .charging = false, .watts = 2.0, .expected = S::unavailable},
            {.name = "C14", .percent = 80, .charging = std::nullopt, .watts = 2.0, .expected = S::unavailable},
            {.name = "C15", .percent = 80, .charging = false, .watts = 2.0, .expected = S::unavailable,
             .externalConnected = false},
            {.name = "C16", .percent = 80, .charging = false, .watts = 2.0, .expected = S::unavailable,
             .sampledOffset = -76},
        };
        ChargeMonitor monitor;
        for (const auto& step : steps) {
            DeviceBattery reading = standardReading(step.percent, step.charging, at(step.sampledOffset), step.session);
            reading.externalConnected = step.externalConnected;
            const Snapshot snapshot =
                standardSnapshot({standardPort(step.watts, step.percent, step.session)}, {reading});
            expect(judge(monitor, snapshot) == step.expected, step.name);
        }

        // A reading from an earlier connection of the same iPad is not used.
        ChargeMonitor fresh;
        const Snapshot stale =
            standardSnapshot({standardPort(2.0, 80)}, {standardReading(80, false, t0_, "old-session")});
        expect(judge(fresh, stale) == S::unavailable, "C17");
    }

    void severalDevices() const {
        PortReading phone;
        phone.port = 3;
        phone.devices = {"iPhone"};
        phone.connections = {ConnectedDevice{"iPhone", "test-phone", "phone-session"}};
        const Snapshot withPhone = standardSnapshot({standardPort(2.0, 80), phone}, {standardReading(80, false, t0_)});
        SamplingCadence cadence;
        cadence.connectionsChanged(true, t0_);
        const auto connected = withPhone.connectedPorts();
        cadence.observePower(std::any_of(connected.begin(), connected.end(),
                                         [](const PortReading& port) { return !port.watts; }));
        expect(cadence.isFast(at(60)), "K8");
        cadence.observePower(false);
        expect(!cadence.isFast(at(61)), "K8");

        PortReading secondIPad;
        secondIPad.port = 2;
        secondIPad.devices = {"iPad"};
        secondIPad.connections = {ConnectedDevice{"iPad", "second-ipad", "session-C"}};
        secondIPad.watts = 12.0;
        secondIPad.configuredWatts = 15.0;
        const Snapshot twoIPads =
            standardSnapshot({standardPort(2.0, 80), secondIPad}, {standardReading(80, false, t0_)});
        ChargeMonitor monitor;
        expect(judge(monitor, twoIPads) == IndicatorState::unavailable, "C18");
    }

    void drainAlerts() const {
        BatteryTrendMonitor monitor;
        const auto sample = [&](int percent, double seconds, bool charging) {
            return monitor.update(std::string("test-session"), standardReading(percent, charging, at(seconds)),
                                  at(seconds));
        };
        expect(!sample(80, 0, false).falling, "A1");
        for (int seconds = 15; seconds <= 300; seconds += 15) sample(80, seconds, false);
        expect(!sample(79, 315, false).falling, "A3");
        for (int seconds = 330; seconds <= 600; seconds += 15) sample(79, seconds, false);
        expect(!sample(76, 615, false).falling, "A5");
        expect(!sample(75, 630, false).falling, "A6");
        const TrendStatus drain = sample(74, 645, false);
        expect(drain.falling, "A7");
        expect(sample(74, 660, false).incident == drain.incident, "A8");
        expect(!sample(75, 675, true).falling, "A9");
        expect(!sample(75, 690, true).falling, "A10");
    }

    void drainAgainstSampleTime() const {
        BatteryTrendMonitor monitor;
        const auto timingSample = [&](int percent, double sampleTime, std::optional<double> refreshTime = {}) {
            return monitor.update(std::string("timing-test"), standardReading(percent, true, at(sampleTime)),
                                  at(refreshTime.value_or(sampleTime)));
        };
        timingSample(60, 0);
        for (int seconds = 15; seconds <= 255; seconds += 15) timingSample(60, seconds);
        expect(!timingSample(58, 270).falling, "B3");
        expect(!timingSample(58, 270, 300).falling, "B4");
        const TrendStatus drain = timingSample(58, 300);
        expect(drain.falling, "B5");
        for (int seconds = 315; seconds <= 3900; seconds += 15) timingSample(58, seconds);
        timingSample(57, 3915);
        expect(timingSample(56, 3930).incident == drain.incident, "B8");
    }

    Date t0_;
    SamplingCadence k1_;  // the cadence of K1, carried on through K5–K7b
};

}  // namespace

std::optional<std::string> runIndicatorSelfChecks(Date t0) {
    // Whole seconds keep every offset exact, so the 300 s and 3600 s boundaries of the trend checks
    // are met exactly as written and not a rounding error away.
    Checks checks(platform::dateFromSecondsSince1970(std::floor(platform::secondsSince1970(t0))));
    try {
        checks.run();
    } catch (const CheckFailed& failure) {
        return std::string(failure.step);
    }
    return std::nullopt;
}

int reportIndicatorSelfChecks(const std::optional<std::string>& failedStep, std::ostream& out, std::ostream& err) {
    if (failedStep) {
        err << "ampwell: self-check " << *failedStep << " failed" << std::endl;
        return 1;
    }
    out << platform::tr(kIndicatorSelfChecksPassed) << '\n';
    return 0;
}

}  // namespace ampwell
