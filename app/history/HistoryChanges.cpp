#include "app/history/HistoryChanges.hpp"

#include <algorithm>
#include <cmath>
#include <vector>

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

// The last row matching `same`, looked for first at `hint`: a fleet lists its ports and devices in
// the same order from one refresh to the next, so the search is nearly always one comparison.
template <typename Row, typename Same>
typename std::vector<Row>::iterator find(std::vector<Row>& rows, std::size_t hint, Same same) {
    if (hint < rows.size() && same(rows[hint])) return rows.begin() + static_cast<std::ptrdiff_t>(hint);
    return std::find_if(rows.begin(), rows.end(), same);
}

bool heartbeatDue(platform::Date last, platform::Date now) {
    return now - last >= HistoryChanges::kHeartbeat || now < last;
}

}  // namespace

HistoryRows HistoryChanges::observe(const FleetState& state, platform::Date now) {
    // A handful of ports and devices: a linear search allocates nothing, where building a key for
    // each of them at every refresh would.
    HistoryRows rows;
    std::vector<bool> portSeen(ports_.size(), false);
    for (std::size_t k = 0; k < state.ports.size(); ++k) {
        const auto& figures = state.ports[k];
        const auto last = find(ports_, k, [&](const PortRow& row) { return row.figures.label == figures.label; });
        if (last != ports_.end()) {
            portSeen[static_cast<std::size_t>(last - ports_.begin())] = true;
            if (!portChanged(last->figures, figures) && !heartbeatDue(last->time, now)) continue;
            *last = PortRow{now, true, figures};
            rows.ports.push_back(*last);
            continue;
        }
        rows.ports.push_back(PortRow{now, true, figures});
    }
    std::vector<bool> deviceSeen(devices_.size(), false);
    for (std::size_t k = 0; k < state.devices.size(); ++k) {
        const auto& device = state.devices[k];
        const auto last = find(devices_, k, [&](const DeviceRow& row) {
            return row.device.serial == device.serial && row.device.connection == device.connection;
        });
        if (last != devices_.end()) {
            deviceSeen[static_cast<std::size_t>(last - devices_.begin())] = true;
            if (!deviceChanged(*last, device, state.thresholdWatts) && !heartbeatDue(last->time, now)) continue;
            *last = DeviceRow{now, true, device, state.thresholdWatts};
            rows.devices.push_back(*last);
            continue;
        }
        rows.devices.push_back(DeviceRow{now, true, device, state.thresholdWatts});
    }

    // What was followed and is no longer there went now; what is new is followed from now on.
    const std::size_t newPorts = rows.ports.size();
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        if (portSeen[i]) continue;
        PortRow gone{now, false, {}};
        gone.figures.label = ports_[i].figures.label;
        gone.figures.connections = ports_[i].figures.connections;
        rows.ports.push_back(std::move(gone));
    }
    std::erase_if(ports_, [&, i = std::size_t{0}](const PortRow&) mutable { return !portSeen[i++]; });
    for (std::size_t i = 0; i < newPorts; ++i)
        if (std::none_of(ports_.begin(), ports_.end(),
                         [&](const PortRow& row) { return row.figures.label == rows.ports[i].figures.label; }))
            ports_.push_back(rows.ports[i]);

    const std::size_t newDevices = rows.devices.size();
    for (std::size_t i = 0; i < devices_.size(); ++i) {
        if (deviceSeen[i]) continue;
        DeviceRow gone{now, false, {}, devices_[i].thresholdWatts};
        gone.device.serial = devices_[i].device.serial;
        gone.device.name = devices_[i].device.name;
        gone.device.port = devices_[i].device.port;
        gone.device.connection = devices_[i].device.connection;
        rows.devices.push_back(std::move(gone));
    }
    std::erase_if(devices_, [&, i = std::size_t{0}](const DeviceRow&) mutable { return !deviceSeen[i++]; });
    for (std::size_t i = 0; i < newDevices; ++i) {
        const FollowedDevice& added = rows.devices[i].device;
        if (std::none_of(devices_.begin(), devices_.end(), [&](const DeviceRow& row) {
                return row.device.serial == added.serial && row.device.connection == added.connection;
            }))
            devices_.push_back(rows.devices[i]);
    }
    return rows;
}

}  // namespace ampwell
