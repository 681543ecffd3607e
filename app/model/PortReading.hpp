#pragma once

#include "app/model/ConnectedDevice.hpp"
#include "app/model/SupplyAccount.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// One USB-C port, or a plain USB port of the computer. An absent measurement means nobody reported
// one; it never stands for zero.
struct PortReading {
    // A USB-C port's number; a plain port's number is kPlainPortBase plus the number the computer
    // gives it, so the two never meet and plain ports sort after the USB-C ones.
    int port = 0;
    // What the user calls a plain port ("USB 1-2"); absent for a USB-C port, which is "USB-C n".
    std::optional<std::string> name;
    std::vector<std::string> devices;  // always `connections` mapped to their names
    std::optional<double> watts;
    std::optional<double> volts;
    std::optional<double> amps;
    std::vector<ConnectedDevice> connections;
    std::optional<int> reportedBatteryPercent;
    std::optional<double> configuredWatts;  // negotiated limit
    // Whose figures `watts`, `volts` and `amps` are: the computer's unless a device's own account
    // stands in for a port the computer is silent about.
    FigureSource source = FigureSource::computer;

    static constexpr int kPlainPortBase = 10000;
};

// What the menu calls the port: its name, or "USB-C n".
std::string portTitle(const PortReading& reading);

// The names of `connections`, in order (what `devices` always holds).
std::vector<std::string> deviceNames(const std::vector<ConnectedDevice>& connections);

nlohmann::json toJSON(const PortReading& reading);
// Requires "port", "devices" and "connections"; the optional keys may be missing.
PortReading portReadingFromJSON(const nlohmann::json& json);

}  // namespace ampwell
