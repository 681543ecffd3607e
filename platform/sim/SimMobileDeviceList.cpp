#include "platform/sim/SimMobileDeviceList.hpp"

#include <algorithm>

namespace ampwell::platform::sim {

SimMobileDeviceList::SimMobileDeviceList(std::vector<SimMobileDevice> devices) : devices_(std::move(devices)) {}

std::vector<SimMobileDevice> SimMobileDeviceList::devices() const {
    std::lock_guard lock(mutex_);
    return devices_;
}

bool SimMobileDeviceList::contains(const std::string& identifier) const {
    std::lock_guard lock(mutex_);
    return std::any_of(devices_.begin(), devices_.end(),
                       [&](const SimMobileDevice& device) { return device.identifier == identifier; });
}

void SimMobileDeviceList::update(const SimMobileDeviceUpdate& update) {
    std::lock_guard lock(mutex_);
    for (auto& device : devices_) {
        if (device.identifier == update.identifier) {
            device = applyUpdate(std::move(device), update);
            return;
        }
    }
    devices_.push_back(applyUpdate(SimMobileDevice{}, update));
}

bool SimMobileDeviceList::remove(const std::string& identifier) {
    std::lock_guard lock(mutex_);
    const auto found = std::find_if(devices_.begin(), devices_.end(),
                                    [&](const SimMobileDevice& device) { return device.identifier == identifier; });
    if (found == devices_.end()) return false;
    devices_.erase(found);
    return true;
}

}  // namespace ampwell::platform::sim
