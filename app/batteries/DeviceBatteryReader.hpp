#pragma once

#include "app/batteries/MobileBatteryReadCoordinator.hpp"
#include "app/model/DeviceBattery.hpp"
#include "platform/base/Clock.hpp"
#include "platform/devices/MobileDeviceService.hpp"
#include "platform/registry/Registry.hpp"

#include <set>
#include <string>
#include <utility>
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

    // The attached devices' batteries, tied to their USB sessions; empty after kTimeout. The
    // devices whose normalised serial is in `accountSerials` also give their own account.
    std::vector<DeviceBattery> readAll(std::set<std::string> accountSerials = {}) {
        return worker_.request(kTimeout, std::move(accountSerials));
    }
    MobileBatteryReadCoordinator& worker() { return worker_; }

private:
    MobileBatteryReadCoordinator worker_;
};

}  // namespace ampwell
