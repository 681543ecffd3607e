#pragma once

#include "app/model/SerialNumber.hpp"
#include "app/model/SupplyAccount.hpp"
#include "platform/base/Clock.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace ampwell {

// One battery reading of an attached iOS device.
struct DeviceBattery {
    std::string serial;       // as reported, not normalised
    std::string deviceClass;  // "iPad", "iPhone", …; "iOS" when it could not be read
    std::optional<int> percent;
    std::optional<bool> isCharging;
    std::optional<bool> externalConnected;
    platform::Date sampledAt;
    std::optional<std::string> connectionID;  // USB session it was verified against
    // The device's own account of its supply; read only for a device on a port the computer is
    // silent about, and absent when the device would not or could not tell.
    std::optional<SupplyAccount> account;
};

// JSON form: absent optionals are omitted; "sampledAt" is seconds since 2001-01-01 UTC.
nlohmann::json toJSON(const DeviceBattery& battery);
// Throws nlohmann::json::exception when a mandatory key is missing or a value has the wrong type.
DeviceBattery deviceBatteryFromJSON(const nlohmann::json& json);

}  // namespace ampwell
