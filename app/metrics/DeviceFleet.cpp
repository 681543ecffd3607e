#include "app/metrics/DeviceFleet.hpp"

#include "app/assessment/DeviceAccounts.hpp"
#include "app/model/SerialNumber.hpp"
#include "app/text/UnicodeText.hpp"

#include <algorithm>
#include <array>
#include <set>

namespace ampwell {
namespace {

std::string portLabel(const PortReading& reading) {
    if (reading.port >= PortReading::kPlainPortBase) {
        // "USB 1-3" names the port; the label keeps the part that tells ports apart.
        if (reading.name && reading.name->starts_with("USB ")) return reading.name->substr(4);
        if (reading.name) return *reading.name;
    }
    return std::to_string(reading.port);
}

// The record for this connection: same device by serial and read under its USB session.
const DeviceBattery* batteryOf(const std::vector<DeviceBattery>& batteries, const ConnectedDevice& device) {
    const std::string serial = normalizedSerial(device.serial);
    const std::optional<std::string> session = connectionSessionPart(device.connectionID);
    for (const auto& battery : batteries) {
        if (battery.connectionID != session || normalizedSerial(battery.serial) != serial) continue;
        return &battery;
    }
    return nullptr;
}

// The snapshot the menu bar would see if this device were the only one: its port alone, holding
// it alone. A port shared with other devices reports their sum, which says nothing about this
// one: its figures go, and the device's own account may stand in for them.
Snapshot aloneOnItsPort(const Snapshot& snapshot, const PortReading& reading, const ConnectedDevice& device,
                        platform::Date now) {
    Snapshot alone;
    alone.sampledAt = snapshot.sampledAt;
    alone.error = snapshot.error;
    alone.powerDataUpdatedAt = snapshot.powerDataUpdatedAt;
    alone.batteries = snapshot.batteries;
    PortReading port = reading;
    port.connections = {device};
    port.devices = {device.name};
    if (reading.connections.size() > 1) {
        port.watts.reset();
        port.volts.reset();
        port.amps.reset();
        port.configuredWatts.reset();
        port.reportedBatteryPercent.reset();
        port.source = FigureSource::computer;
    }
    alone.ports.push_back(std::move(port));
    applyDeviceAccounts(alone, now);
    return alone;
}

}  // namespace

const char* readErrorKindText(ReadErrorKind kind) {
    switch (kind) {
    case ReadErrorKind::ports: return "ports";
    case ReadErrorKind::batteryTimeout: return "battery_timeout";
    case ReadErrorKind::batteryMissing: return "battery_missing";
    }
    return "unknown";
}

bool namesMobileDevice(const std::string& name) {
    static constexpr std::array<const char*, 3> kNeedles{"iPad", "iPhone", "iPod"};
    return std::any_of(kNeedles.begin(), kNeedles.end(),
                       [&](const char* needle) { return containsCaseFolded(name, needle); });
}

void DeviceFleet::update(const Snapshot& snapshot, double thresholdWatts, platform::Date now) {
    state_.thresholdWatts = thresholdWatts;
    if (snapshot.error)
        ++state_.errors(ReadErrorKind::ports);
    else
        state_.portsReadAt = now;

    Snapshot shown = snapshot;
    applyDeviceAccounts(shown, now);
    state_.ports.clear();
    state_.devices.clear();
    std::set<std::string> present;
    for (const PortReading* reading : shown.connectedReadings()) {
        PortFigures figures;
        figures.label = portLabel(*reading);
        figures.volts = reading->volts;
        figures.amps = reading->amps;
        figures.watts = reading->watts;
        figures.limitWatts = reading->configuredWatts;
        figures.source = reading->source;
        for (const auto& device : reading->connections)
            figures.connections += (figures.connections.empty() ? "" : ",") + device.connectionID;
        state_.ports.push_back(figures);

        for (const auto& device : reading->connections) {
            const DeviceBattery* battery = batteryOf(snapshot.batteries, device);
            if (!namesMobileDevice(device.name) && battery == nullptr) continue;
            const std::string key = device.serial + ":" + device.connectionID;
            present.insert(key);
            auto& monitors = followed_[key];
            if (!monitors) monitors = std::make_unique<Monitors>();

            const Snapshot alone = aloneOnItsPort(snapshot, *reading, device, now);
            const ChargeStatus charge = monitors->charge.update(alone, snapshot.batteries, thresholdWatts, now);
            const std::optional<DeviceBattery> record =
                battery != nullptr ? std::optional<DeviceBattery>(*battery) : std::nullopt;
            const TrendStatus trend = monitors->trend.update(key, record, now);
            if (battery != nullptr && battery->percent)
                monitors->lastRead = std::max(monitors->lastRead.value_or(battery->sampledAt), battery->sampledAt);

            FollowedDevice followed;
            followed.serial = device.serial;
            followed.name = device.name;
            followed.port = figures.label;
            followed.connection = device.connectionID;
            followed.verdict = charge.state;
            followed.draining = trend.falling;
            const auto& samples = monitors->trend.samples();
            if (trend.falling && !samples.empty())
                followed.drainDepthRatio = std::max(0, samples.front().percent - samples.back().percent) / 100.0;
            followed.lastRead = monitors->lastRead;
            if (battery != nullptr) {
                if (battery->percent) followed.batteryRatio = std::clamp(*battery->percent, 0, 100) / 100.0;
                followed.charging = battery->isCharging;
                followed.externalPower = battery->externalConnected;
                if (battery->account) {
                    followed.inputWatts = battery->account->inputWatts;
                    followed.offerWatts = battery->account->offerWatts;
                }
            }
            state_.devices.push_back(std::move(followed));
        }
    }
    std::erase_if(followed_, [&](const auto& entry) { return !present.contains(entry.first); });
}

void DeviceFleet::batteryReadFinished(const Snapshot& snapshot, const std::vector<DeviceBattery>& batteries) {
    std::size_t mobile = 0;
    std::size_t missing = 0;
    for (const PortReading* reading : snapshot.connectedReadings()) {
        for (const auto& device : reading->connections) {
            if (!namesMobileDevice(device.name)) continue;
            ++mobile;
            const DeviceBattery* battery = batteryOf(batteries, device);
            if (battery == nullptr || !battery->percent) ++missing;
        }
    }
    if (mobile == 0) return;
    if (batteries.empty())
        ++state_.errors(ReadErrorKind::batteryTimeout);
    else
        state_.errors(ReadErrorKind::batteryMissing) += missing;
}

}  // namespace ampwell
