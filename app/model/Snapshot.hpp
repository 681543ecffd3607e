#pragma once

#include "app/model/DeviceBattery.hpp"
#include "app/model/PortReading.hpp"
#include "platform/base/Clock.hpp"

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// One complete reading of the USB-C ports. Records are values; only `powerDataUpdatedAt` and
// `batteries` are filled in after the read, by whoever owns the snapshot.
struct Snapshot {
    std::string sampledAt;  // ISO 8601 UTC, whole seconds, "Z"
    std::vector<PortReading> ports;  // sorted by port, ascending
    std::optional<std::string> error;
    std::optional<platform::Date> powerDataUpdatedAt;
    std::vector<DeviceBattery> batteries;

    // The ports with at least one connection, in port order.
    std::vector<PortReading> connectedPorts() const;
    // The same readings in place, without copying them, for code that runs on every refresh;
    // valid while `ports` is unchanged.
    std::vector<const PortReading*> connectedReadings() const;
    // Changes exactly when the set of attached devices changes; empty with no device.
    std::string connectionSignature() const;
    // True when a device on a connected port has a name containing iPad, iPhone or iPod,
    // case-insensitively.
    bool hasMobileDevices() const;
};

nlohmann::json toJSON(const Snapshot& snapshot);
Snapshot snapshotFromJSON(const nlohmann::json& json);

// `date` as ISO 8601 internet date-time in UTC with whole seconds and "Z".
std::string iso8601(platform::Date date);

}  // namespace ampwell
