#pragma once

#include "platform/sim/SimMobileDevice.hpp"

#include <mutex>
#include <string>
#include <vector>

namespace ampwell::platform::sim {

// The devices the simulated mobile-device service lists right now, in list order. The timeline
// changes it on the main thread while the battery worker lists it, hence the lock. Thread-safe.
class SimMobileDeviceList {
public:
    explicit SimMobileDeviceList(std::vector<SimMobileDevice> devices = {});

    // A copy of the current list.
    std::vector<SimMobileDevice> devices() const;
    bool contains(const std::string& identifier) const;
    // Applies the update to the device with its identifier, or appends a new device.
    void update(const SimMobileDeviceUpdate& update);
    // Removes the device; false when no device has that identifier.
    bool remove(const std::string& identifier);

private:
    mutable std::mutex mutex_;
    std::vector<SimMobileDevice> devices_;
};

}  // namespace ampwell::platform::sim
