#pragma once

#include "app/reset/ResetError.hpp"
#include "app/reset/USBResetTarget.hpp"
#include "platform/base/PropertyValue.hpp"
#include "platform/base/Result.hpp"
#include "platform/devices/UsbHost.hpp"
#include "platform/registry/Registry.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// Finds the external USB devices that may be reset and resets one of them, but only after proving,
// twice, that the live device is still the one that was chosen. Holds nothing but the two seams:
// every call reads the registry afresh, and every registry handle and host client it obtains is
// released before it returns, on every path. Thread-safe and re-entrant; `reset` and `resetIPad`
// block in registry and USB calls, so they are meant for a background thread.
class USBDeviceResetter {
public:
    USBDeviceResetter(platform::Registry& registry, platform::UsbHost& usbHost);

    // The resettable devices in list order (see `comesBefore`). Empty when the registry cannot be
    // enumerated: the menu then simply has nothing to offer.
    std::vector<USBResetTarget> availableTargets() const;

    // Resets the device exactly as it was listed.
    ResetResult reset(const USBResetTarget& target) const;

    // Resets the one external iPad carrying `serial` (compared in normalised form). When
    // `expectedConnectionID` is given it is the USB session number the device must still have.
    ResetResult resetIPad(const std::string& serial, const std::optional<std::string>& expectedConnectionID) const;

private:
    // Fails only with enumerationFailed.
    platform::Result<std::vector<USBResetTarget>, ResetError> enumerateTargets() const;
    // Describes one "IOUSBHostDevice" entry; fails with unexpectedDevice or identityUnavailable.
    platform::Result<USBResetTarget, ResetError> target(const platform::RegistryEntry& service) const;
    // Why the live entry no longer matches `expected`; nullopt when it still does.
    std::optional<ResetError> verify(const platform::RegistryEntry& service, const USBResetTarget& expected) const;

    static bool isHub(const platform::RegistryEntry& service, const platform::PropertyDictionary& info);
    static std::optional<std::int64_t> physicalPort(const platform::RegistryEntry& service);
    static bool isBuiltIn(const platform::PropertyValue* value);

    platform::Registry& registry_;
    platform::UsbHost& usbHost_;
};

}  // namespace ampwell
