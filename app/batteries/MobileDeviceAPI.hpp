#pragma once

#include "app/model/DeviceBattery.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/PropertyValue.hpp"
#include "platform/devices/MobileDeviceService.hpp"

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ampwell {

// The loaded mobile-device framework and the battery reads made with it. Used only on the
// battery worker queue, one call at a time.
class MobileDeviceAPI {
public:
    static constexpr const char* kBatteryDomain = "com.apple.mobile.battery";
    static constexpr const char* kFallbackDeviceClass = "iOS";
    // The one interface type that is read: a USB connection.
    static constexpr int kUSBInterface = 1;

    // Loads the framework behind `service`; nullptr when it is unavailable.
    static std::unique_ptr<MobileDeviceAPI> load(platform::MobileDeviceService& service, const platform::Clock& clock);

    MobileDeviceAPI(platform::MobileDeviceService& service, const platform::Clock& clock);

    // One record per attached device that could be read, at most one per serial (the later device
    // wins), sorted by serial. Not yet tied to a USB session. The devices whose normalised serial is
    // in `accountSerials` are also asked for their own account of their supply.
    std::vector<DeviceBattery> readAll(const std::set<std::string>& accountSerials = {});
    // The battery of one device; nullopt when it is not on USB, has no serial or refuses the
    // connection. A device that is not paired or whose session cannot start gives a record with
    // unknown values, so that it is still seen as attached. When its normalised serial is in
    // `accountSerials`, the same session also asks for the device's account of its supply
    // (SupplyAccountParser); a device that refuses loses only the account.
    std::optional<DeviceBattery> read(platform::MobileDevice& device, const std::set<std::string>& accountSerials = {});

    // A whole number in 0…100 that is not a boolean; anything else is absent.
    static std::optional<int> percent(const std::optional<platform::PropertyValue>& value);
    // A boolean as it is; the numbers 0 and 1 as false and true; anything else is absent.
    static std::optional<bool> boolean(const std::optional<platform::PropertyValue>& value);

private:
    std::optional<std::string> textValue(platform::MobileDevice& device, const char* key);
    std::optional<SupplyAccount> readAccount(platform::MobileDevice& device);

    platform::MobileDeviceService& service_;
    const platform::Clock& clock_;
};

}  // namespace ampwell
