#pragma once

#include "app/batteries/MobileBatteryReadCoordinator.hpp"
#include "app/model/DeviceBattery.hpp"
#include "platform/base/Clock.hpp"
#include "platform/devices/MobileDeviceService.hpp"
#include "platform/registry/Registry.hpp"

#include <vector>

namespace ampwell {

// The battery reader of whoever owns it (the application holds one for its whole run, a mode one
// for its own): one worker over the mobile-device service, so that the service is driven from one
// queue only. Destroying the reader lets a read in flight finish first, since it uses the service;
// the seams must outlive it.
class DeviceBatteryReader {
public:
    // How long a caller waits for a read.
    static constexpr platform::Seconds kTimeout{4.0};

    DeviceBatteryReader(platform::MobileDeviceService& service, platform::Registry& registry,
                        const platform::Clock& clock);

    // The attached devices' batteries, tied to their USB sessions; empty after kTimeout.
    std::vector<DeviceBattery> readAll() { return worker_.request(kTimeout); }
    MobileBatteryReadCoordinator& worker() { return worker_; }

private:
    MobileBatteryReadCoordinator worker_;
};

}  // namespace ampwell
