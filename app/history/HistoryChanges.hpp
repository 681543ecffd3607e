#pragma once

#include "app/history/HistoryRows.hpp"
#include "app/metrics/FleetState.hpp"
#include "platform/base/Clock.hpp"

#include <vector>

namespace ampwell {

// Decides which rows a new state of the fleet adds to the history: a port or a device whose
// values changed since its last row, one that has gone (a row saying so), and, for one that stays
// the same, a row every heartbeat so that a quiet stretch is known to be quiet and not missing.
// Figures that only wobble (a few hundredths of a watt) are not a change. Pure logic.
class HistoryChanges {
public:
    static constexpr platform::Seconds kHeartbeat{600.0};

    // The rows `state` at `now` adds.
    HistoryRows observe(const FleetState& state, platform::Date now);

private:
    std::vector<PortRow> ports_;      // the last row of each port there, by label
    std::vector<DeviceRow> devices_;  // the last row of each device there, by serial and connection
};

}  // namespace ampwell
