#pragma once

#include "platform/base/PropertyValue.hpp"

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace ampwell::platform::sim {

// Return code of a mobile-device call that succeeded.
inline constexpr std::int32_t kMobileDeviceSuccess = 0;

// One device the simulated mobile-device service lists, and how each of its calls answers.
// The service built on top of it reads these fields and nothing else.
struct SimMobileDevice {
    // What copying the device identifier returns.
    std::string identifier;
    // What copying the USB serial number returns; absent makes the optional symbol behave as
    // missing for this device.
    std::optional<std::string> usbSerial;
    // What the interface-type call returns (1 is USB); absent makes the optional symbol missing.
    std::optional<std::int32_t> interfaceType;
    // Return codes of connect, validate pairing and start session (0 is success), and what the
    // pairing check returns (1 is paired).
    std::int32_t connect = kMobileDeviceSuccess;
    std::int32_t paired = 1;
    std::int32_t validatePairing = kMobileDeviceSuccess;
    std::int32_t startSession = kMobileDeviceSuccess;
    // Seconds on the simulated clock that each connection to the device takes (a slow or stuck
    // device); 0 answers at once.
    double readDelay = 0;
    // Domain ("" for none) → its dictionary. Copying a whole domain returns the dictionary;
    // copying one key reads it from the domain's dictionary.
    std::map<std::string, PropertyDictionary> values;
    // Registry entry name → what the device's diagnostics service answers for it (a dump taken
    // from a real device may be pasted as it is). Absent: the device refuses the service.
    std::optional<std::map<std::string, PropertyDictionary>> ioregistry;
};

// A change to one device, as the simulation file states it: only the fields present change.
// `clearUsbSerial` / `clearInterfaceType` remove the optional answers (`null` in the file).
// `values` and `ioregistry` are merged key by key into each named domain or entry.
struct SimMobileDeviceUpdate {
    std::string identifier;
    std::optional<std::string> usbSerial;
    bool clearUsbSerial = false;
    std::optional<std::int32_t> interfaceType;
    bool clearInterfaceType = false;
    std::optional<std::int32_t> connect;
    std::optional<std::int32_t> paired;
    std::optional<std::int32_t> validatePairing;
    std::optional<std::int32_t> startSession;
    std::optional<double> readDelay;
    std::map<std::string, PropertyDictionary> values;
    // Merged key by key into each named entry, like `values`; the device then answers.
    std::optional<std::map<std::string, PropertyDictionary>> ioregistry;
};

// `device` with the update applied (a new device starts from the defaults above).
SimMobileDevice applyUpdate(SimMobileDevice device, const SimMobileDeviceUpdate& update);

// The value copied for (domain, key): the whole domain dictionary when `key` is empty, otherwise
// the key's value in that domain; nullopt when either is missing.
std::optional<PropertyValue> copyValue(const SimMobileDevice& device, const std::string& domain,
                                       const std::string& key);

}  // namespace ampwell::platform::sim
