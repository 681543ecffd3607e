#pragma once

#include "app/model/ConnectedDevice.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// One USB-C port. An absent measurement means the system reported none; it never stands for zero.
struct PortReading {
    int port = 0;
    std::vector<std::string> devices;  // always `connections` mapped to their names
    std::optional<double> watts;
    std::optional<double> volts;
    std::optional<double> amps;
    std::vector<ConnectedDevice> connections;
    std::optional<int> reportedBatteryPercent;
    std::optional<double> configuredWatts;  // negotiated limit
};

// The names of `connections`, in order (what `devices` always holds).
std::vector<std::string> deviceNames(const std::vector<ConnectedDevice>& connections);

nlohmann::json toJSON(const PortReading& reading);
// Requires "port", "devices" and "connections"; the optional keys may be missing.
PortReading portReadingFromJSON(const nlohmann::json& json);

}  // namespace ampwell
