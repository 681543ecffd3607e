#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace ampwell {

// One USB device attached, directly or behind hubs, to a USB-C port.
struct ConnectedDevice {
    std::string name;
    std::string serial;        // as the registry reports it; empty when it has none
    std::string connectionID;  // boot identity ":" USB session ID; empty without a session ID

    bool operator==(const ConnectedDevice&) const = default;
};

nlohmann::json toJSON(const ConnectedDevice& device);
// Throws nlohmann::json::exception when a key is missing or not a string.
ConnectedDevice connectedDeviceFromJSON(const nlohmann::json& json);

}  // namespace ampwell
