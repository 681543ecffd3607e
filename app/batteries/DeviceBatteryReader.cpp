#include "app/batteries/DeviceBatteryReader.hpp"

#include <memory>
#include <mutex>
#include <stdexcept>

namespace ampwell {
namespace {

struct SharedWorker {
    std::mutex mutex;
    platform::Platform* platform = nullptr;
    std::unique_ptr<MobileBatteryReadCoordinator> coordinator;
};

SharedWorker& shared() {
    static SharedWorker worker;
    return worker;
}

}  // namespace

MobileBatteryReadCoordinator& DeviceBatteryReader::worker(platform::Platform& platform) {
    auto& slot = shared();
    std::lock_guard lock(slot.mutex);
    if (!slot.coordinator) {
        slot.coordinator = std::make_unique<MobileBatteryReadCoordinator>(
            platform.mobileDevices(), USBBatterySessions(platform.registry()), platform.clock());
        slot.platform = &platform;
    } else if (slot.platform != &platform) {
        throw std::logic_error("the battery reader already works for another platform");
    }
    return *slot.coordinator;
}

std::vector<DeviceBattery> DeviceBatteryReader::readAll(platform::Platform& platform) {
    return worker(platform).request(kTimeout);
}

void DeviceBatteryReader::endWorker() {
    auto& slot = shared();
    std::unique_ptr<MobileBatteryReadCoordinator> ending;
    {
        std::lock_guard lock(slot.mutex);
        ending = std::move(slot.coordinator);
        slot.platform = nullptr;
    }
    ending.reset();
}

}  // namespace ampwell
