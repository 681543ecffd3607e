#include "app/batteries/DeviceBatteryReader.hpp"

namespace ampwell {

DeviceBatteryReader::DeviceBatteryReader(platform::MobileDeviceService& service, platform::Registry& registry,
                                         const platform::Clock& clock)
    : worker_(service, USBBatterySessions(registry), clock) {}

}  // namespace ampwell
