#include "app/assessment/DeviceAccounts.hpp"

#include "app/assessment/ChargeMonitor.hpp"
#include "app/assessment/ReadingAge.hpp"
#include "app/model/SerialNumber.hpp"

namespace ampwell {

namespace {

const SupplyAccount* accountOf(const ConnectedDevice& device, const std::vector<DeviceBattery>& batteries,
                               platform::Date now) {
    const std::string serial = normalizedSerial(device.serial);
    const std::optional<std::string> session = connectionSessionPart(device.connectionID);
    for (const auto& battery : batteries) {
        if (!battery.account || battery.connectionID != session) continue;
        if (normalizedSerial(battery.serial) != serial || !isAcceptableReadingAge(battery.sampledAt, now)) continue;
        return &*battery.account;
    }
    return nullptr;
}

}  // namespace

void observePortFigures(SamplingCadence& cadence, const std::vector<const PortReading*>& connected) {
    bool powerMissing = false;
    bool allSilent = !connected.empty();
    for (const PortReading* reading : connected) {
        const bool declaredSilent = reading->name || (!reading->watts && reading->configuredWatts);
        powerMissing = powerMissing || (!reading->watts && !declaredSilent);
        allSilent = allSilent && declaredSilent;
    }
    cadence.observePower(powerMissing);
    if (allSilent) cadence.computerIsSilent();
}

bool isSilentPort(const PortReading& reading) { return !reading.watts || reading.source != FigureSource::computer; }

std::set<std::string> silentDeviceSerials(const Snapshot& snapshot) {
    std::set<std::string> serials;
    for (const PortReading* reading : snapshot.connectedReadings()) {
        if (!isSilentPort(*reading)) continue;
        for (const auto& device : reading->connections)
            if (!device.serial.empty()) serials.insert(normalizedSerial(device.serial));
    }
    return serials;
}

void applyDeviceAccounts(Snapshot& snapshot, platform::Date now) {
    for (PortReading& reading : snapshot.ports) {
        if (reading.watts || reading.connections.size() != 1) continue;
        const SupplyAccount* account = accountOf(reading.connections.front(), snapshot.batteries, now);
        if (!account) continue;
        if (account->inputWatts) {
            reading.watts = account->inputWatts;
            reading.volts = account->inputVolts;
            reading.amps = account->inputAmps;
            reading.source = FigureSource::deviceInput;
        } else if (account->offerWatts) {
            reading.watts = account->offerWatts;
            reading.volts = account->offerVolts;
            reading.amps = account->offerAmps;
            reading.source = FigureSource::chargerOffer;
        } else {
            continue;
        }
        // What the charger offers is the limit the two ends agreed on.
        if (!reading.configuredWatts && account->offerWatts) reading.configuredWatts = account->offerWatts;
    }
}

}  // namespace ampwell
