#pragma once

#include "app/metrics/FleetState.hpp"
#include "platform/base/Clock.hpp"

#include <vector>

namespace ampwell {

// One port as it was at `time`. `present` false: its last devices went at that moment, and the
// figures are empty.
struct PortRow {
    platform::Date time;
    bool present = true;
    PortFigures figures;
};

// One followed device as it was at `time`, judged against `thresholdWatts`. `present` false: it
// was unplugged (or its USB session ended) at that moment, and only its names are kept.
struct DeviceRow {
    platform::Date time;
    bool present = true;
    FollowedDevice device;
    double thresholdWatts = 10.0;
};

// Rows in the order they happened.
struct HistoryRows {
    std::vector<PortRow> ports;
    std::vector<DeviceRow> devices;

    bool empty() const { return ports.empty() && devices.empty(); }
    std::size_t size() const { return ports.size() + devices.size(); }
};

}  // namespace ampwell
