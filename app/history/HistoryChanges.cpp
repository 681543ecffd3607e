#include "app/history/HistoryChanges.hpp"

#include <algorithm>
#include <cmath>
#include <set>

namespace ampwell {
namespace {

// Whether a figure moved enough to be worth a row: by `floor` in its unit and by 5 % of itself.
// A port's measured watts jitter by a few hundredths from one read to the next; a row for each
// would fill the file with nothing the chart can show.
bool moved(std::optional<double> before, std::optional<double> after, double floor) {
    if (before.has_value() != after.has_value()) return true;
    if (!before) return false;
    const double step = std::max(floor, 0.05 * std::max(std::fabs(*before), std::fabs(*after)));
    return std::fabs(*before - *after) >= step;
}

// The battery comes in whole percent and every one of them counts, at 5 % as at 95 %.
bool batteryMoved(std::optional<double> before, std::optional<double> after) {
    if (before.has_value() != after.has_value()) return true;
    return before && std::fabs(*before - *after) >= 0.005;
}

bool portChanged(const PortFigures& before, const PortFigures& after) {
    return before.connections != after.connections || before.source != after.source ||
           moved(before.volts, after.volts, 0.1) || moved(before.amps, after.amps, 0.05) ||
           moved(before.watts, after.watts, 0.25) || moved(before.limitWatts, after.limitWatts, 0.25);
}

bool deviceChanged(const DeviceRow& before, const FollowedDevice& after, double thresholdWatts) {
    const FollowedDevice& old = before.device;
    return !before.present || old.name != after.name || old.port != after.port ||
           batteryMoved(old.batteryRatio, after.batteryRatio) || old.charging != after.charging ||
           old.externalPower != after.externalPower || moved(old.inputWatts, after.inputWatts, 0.25) ||
           moved(old.offerWatts, after.offerWatts, 0.25) || old.verdict != after.verdict ||
           old.draining != after.draining || before.thresholdWatts != thresholdWatts;
}

bool heartbeatDue(platform::Date last, platform::Date now) {
    return now - last >= HistoryChanges::kHeartbeat || now < last;
}

}  // namespace

HistoryRows HistoryChanges::observe(const FleetState& state, platform::Date now) {
    HistoryRows rows;
    std::set<std::string> portsSeen;
    for (const auto& figures : state.ports) {
        portsSeen.insert(figures.label);
        const auto last = ports_.find(figures.label);
        if (last != ports_.end() && last->second.present && !portChanged(last->second.figures, figures) &&
            !heartbeatDue(last->second.time, now))
            continue;
        PortRow row{now, true, figures};
        rows.ports.push_back(row);
        ports_[figures.label] = std::move(row);
    }
    for (auto it = ports_.begin(); it != ports_.end();) {
        if (portsSeen.contains(it->first)) {
            ++it;
            continue;
        }
        PortRow gone{now, false, {}};
        gone.figures.label = it->first;
        gone.figures.connections = it->second.figures.connections;
        rows.ports.push_back(std::move(gone));
        it = ports_.erase(it);
    }

    std::set<std::string> devicesSeen;
    for (const auto& device : state.devices) {
        const std::string key = device.serial + ":" + device.connection;
        devicesSeen.insert(key);
        const auto last = devices_.find(key);
        if (last != devices_.end() && !deviceChanged(last->second, device, state.thresholdWatts) &&
            !heartbeatDue(last->second.time, now))
            continue;
        DeviceRow row{now, true, device, state.thresholdWatts};
        rows.devices.push_back(row);
        devices_[key] = std::move(row);
    }
    for (auto it = devices_.begin(); it != devices_.end();) {
        if (devicesSeen.contains(it->first)) {
            ++it;
            continue;
        }
        DeviceRow gone{now, false, {}, it->second.thresholdWatts};
        gone.device.serial = it->second.device.serial;
        gone.device.name = it->second.device.name;
        gone.device.port = it->second.device.port;
        gone.device.connection = it->second.device.connection;
        rows.devices.push_back(std::move(gone));
        it = devices_.erase(it);
    }
    return rows;
}

}  // namespace ampwell
