#include "app/assessment/ChargeMonitor.hpp"

#include "app/assessment/ReadingAge.hpp"
#include "app/text/UnicodeText.hpp"

#include <algorithm>
#include <string_view>

namespace ampwell {
namespace {

bool containsIPad(std::string_view name) { return containsCaseFolded(name, "ipad"); }

bool namesAnIPad(const PortReading& port) {
    return std::any_of(port.devices.begin(), port.devices.end(), containsIPad);
}

// The first record that belongs to this connection: same device by serial, an iPad, and read
// under the same USB session (or neither side knows its session).
const DeviceBattery* matchingBattery(const std::vector<DeviceBattery>& batteries, const ConnectedDevice& device) {
    const std::string serial = normalizedSerial(device.serial);
    const std::optional<std::string> session = connectionSessionPart(device.connectionID);
    for (const auto& battery : batteries) {
        if (battery.deviceClass != "iPad") continue;
        if (battery.connectionID.has_value() != session.has_value()) continue;
        if (battery.connectionID && *battery.connectionID != *session) continue;
        if (normalizedSerial(battery.serial) != serial) continue;
        return &battery;
    }
    return nullptr;
}

bool isFreshAndComplete(const DeviceBattery& battery, platform::Date now) {
    return isAcceptableReadingAge(battery.sampledAt, now) && battery.percent && *battery.percent >= 0 &&
           *battery.percent <= 100 && battery.isCharging && battery.externalConnected;
}

}  // namespace

std::optional<std::string> connectionSessionPart(const std::string& connectionID) {
    const auto end = connectionID.find_last_not_of(':');
    if (end == std::string::npos) return std::nullopt;
    const auto separator = connectionID.rfind(':', end);
    const auto begin = separator == std::string::npos ? 0 : separator + 1;
    return connectionID.substr(begin, end + 1 - begin);
}

ChargeMonitor::ChargeMonitor() = default;

ChargeMonitor::ChargeMonitor(platform::Defaults& defaults)
    : heldConnection_(platform::stringDefault(defaults, kHoldDefaultsKey)), defaults_(&defaults) {}

void ChargeMonitor::hold(const std::optional<std::string>& connection) {
    if (connection == heldConnection_) return;
    heldConnection_ = connection;
    if (defaults_ == nullptr) return;
    if (connection)
        defaults_->set(kHoldDefaultsKey, platform::PropertyValue::string(*connection));
    else
        defaults_->remove(kHoldDefaultsKey);
}

ChargeStatus ChargeMonitor::update(const Snapshot& snapshot, const std::vector<DeviceBattery>& batteries,
                                   double threshold, platform::Date now) {
    const PortReading* port = nullptr;
    std::size_t iPadPorts = 0;
    for (const auto& reading : snapshot.ports) {
        if (!namesAnIPad(reading)) continue;
        if (iPadPorts++ == 0) port = &reading;
    }
    if (iPadPorts == 0) {
        clearHold();
        return {IndicatorState::unavailable, platform::tr(kNoIPadMessage), std::nullopt};
    }
    // Several iPads, or one port whose device cannot be pinned down, are never judged one by one.
    if (iPadPorts > 1 || port->connections.size() != 1 || port->connections.front().serial.empty() ||
        port->connections.front().connectionID.empty()) {
        clearHold();
        return {IndicatorState::unavailable, platform::tr(kAmbiguousMessage), std::nullopt};
    }
    const ConnectedDevice& device = port->connections.front();
    const std::string key = device.serial + ":" + device.connectionID;
    // Another iPad or a new USB session ends the memory of the pause.
    if (heldConnection_ && *heldConnection_ != key) clearHold();

    // Unknown data neither arms nor releases the hold.
    const DeviceBattery* battery = matchingBattery(batteries, device);
    if (battery == nullptr || !isFreshAndComplete(*battery, now))
        return {IndicatorState::unavailable, platform::tr(kBatteryUnavailableMessage), std::nullopt};

    const int percent = *battery->percent;
    const std::string prefix = "iPad " + std::to_string(percent) + "% · ";
    if (!*battery->externalConnected) {
        clearHold();
        return {IndicatorState::unavailable, prefix + platform::tr("外部电源未连接"), *battery};
    }
    if (!*battery->isCharging) {
        if (percent >= kChargeCapPercent) {
            hold(key);
            return {IndicatorState::normal, prefix + platform::tr("已达 80% 上限，暂停充电"), *battery};
        }
        if (percent >= kHoldFloorPercent) {
            if (heldConnection_ == key)
                return {IndicatorState::normal, prefix + platform::tr("上限保护，等待补充"), *battery};
        } else {
            clearHold();
        }
    } else {
        clearHold();
    }

    // A snapshot that carries an error has no trustworthy readings of the computer's own; a figure
    // the device gave for a port the computer is silent about stands apart from that error.
    const bool computerFigure = port->source == FigureSource::computer;
    const IndicatorState state = snapshot.error && computerFigure ? IndicatorState(IndicatorState::unavailable)
                                                                  : IndicatorState::power(port->watts, threshold);
    if (state == IndicatorState::unavailable) return {state, prefix + platform::tr("功率暂不可用"), *battery};
    const bool low = state == IndicatorState::low;
    // Judged on what the charger offers rather than on what arrives: the verdict says so.
    const std::string basis =
        port->source == FigureSource::chargerOffer ? std::string(platform::tr(kChargerOfferBasis)) : std::string();
    return {state,
            prefix + (*battery->isCharging ? platform::tr("充电中") : platform::tr("未充电")) + " · " +
                (low ? platform::tr("低功率") : platform::tr("正常功率")) + basis,
            *battery};
}

}  // namespace ampwell
