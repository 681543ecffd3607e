#pragma once

#include "app/assessment/BatteryTrendMonitor.hpp"
#include "app/assessment/ChargeMonitor.hpp"
#include "app/metrics/FleetState.hpp"
#include "app/model/DeviceBattery.hpp"
#include "app/model/Snapshot.hpp"
#include "platform/base/Clock.hpp"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// Follows every mobile device attached to the computer, where the menu bar follows one iPad: each
// gets its own charge monitor (the verdict on its own port) and its own battery trend monitor (the
// drain on external power). A device is followed from the first snapshot that lists it until one
// no longer does; plugging it in again starts afresh, as a new USB session does for the menu bar.
//
// Pure logic over snapshots: whoever owns it reads the ports and the batteries and hands them in.
// One caller at a time; no locking.
class DeviceFleet {
public:
    DeviceFleet() = default;
    DeviceFleet(const DeviceFleet&) = delete;
    DeviceFleet& operator=(const DeviceFleet&) = delete;

    // One refresh: `snapshot` with the batteries of the last read attached (and the device
    // accounts not yet applied), judged against `thresholdWatts` at `now`.
    void update(const Snapshot& snapshot, double thresholdWatts, platform::Date now);
    // A battery read finished: `batteries` is what it gave for `snapshot`'s devices (empty when it
    // timed out). Counts what went wrong; the records themselves reach update() with the snapshot.
    void batteryReadFinished(const Snapshot& snapshot, const std::vector<DeviceBattery>& batteries);

    const FleetState& state() const { return state_; }

private:
    struct Monitors {
        ChargeMonitor charge;
        BatteryTrendMonitor trend;
        std::optional<platform::Date> lastRead;
    };

    // Serial ":" connection ID: a new USB session is a new device to follow.
    std::map<std::string, std::unique_ptr<Monitors>> followed_;
    FleetState state_;
};

// Whether the device's name says it is a phone or tablet, as the menu bar decides.
bool namesMobileDevice(const std::string& name);

}  // namespace ampwell
