#pragma once

#include "app/model/Snapshot.hpp"

#include <string>

namespace ampwell::testing {

// What every snapshot the telemetry reader makes keeps, whatever the registry holds: the first
// broken rule, or an empty text. Shared by the fuzzer and the golden scenarios.
//
// An error never stands alone without a reason: a snapshot without ports carries one. Ports may
// still be listed beside an error (the devices attached while the power details are missing), but
// then none of them has a measurement, a limit or a reported battery level.
inline std::string brokenSnapshotRule(const Snapshot& snapshot) {
    for (std::size_t i = 0; i < snapshot.ports.size(); ++i) {
        const auto& port = snapshot.ports[i];
        if (i > 0 && snapshot.ports[i - 1].port > port.port) return "ports out of order";
        if (port.devices != deviceNames(port.connections)) return "device names differ from the connections";
        if (port.reportedBatteryPercent && (*port.reportedBatteryPercent < 0 || *port.reportedBatteryPercent > 100))
            return "battery level outside 0-100";
        for (auto value : {port.watts, port.volts, port.amps, port.configuredWatts})
            if (value && *value < 0) return "a negative measurement";
        const bool measured = port.watts || port.volts || port.amps || port.configuredWatts || port.reportedBatteryPercent;
        if (snapshot.error && measured) return "a measured port beside an error";
    }
    if (snapshot.ports.empty() && !snapshot.error) return "no ports and no error";
    return {};
}

}  // namespace ampwell::testing
