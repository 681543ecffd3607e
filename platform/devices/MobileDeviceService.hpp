#pragma once

#include "platform/base/PropertyValue.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ampwell::platform {

// One attached device as the device list hands it over. Opaque: only the service that listed it
// knows what it holds. It stays usable for as long as someone keeps it.
class MobileDevice {
public:
    virtual ~MobileDevice() = default;
};

// The mobile-device framework as the battery reader relies on it: list the attached iOS devices,
// connect, check pairing, open a session and copy values. The framework is loaded on first use;
// a framework that cannot be loaded stays unavailable for the whole process.
//
// Every operation may block for as long as the device takes to answer. They are called from one
// thread at a time (the battery worker queue), never concurrently. Operations other than `state`
// and `load` may only be called once `load` returned `loaded`. No operation throws.
class MobileDeviceService {
public:
    enum class State { notLoaded, unavailable, loaded };

    virtual ~MobileDeviceService() = default;

    // Where the framework stands; `notLoaded` until the first `load`.
    virtual State state() const = 0;
    // Loads the framework if that has not been tried yet, and returns `loaded` or `unavailable`.
    // Both are final: later calls return the same without trying again.
    virtual State load() = 0;

    // The attached devices in the framework's order; nullopt when it cannot give a list. An
    // element may be null (a slot the framework could not fill); callers skip those.
    virtual std::optional<std::vector<std::shared_ptr<MobileDevice>>> createDeviceList() = 0;

    // 0 on success, another framework code otherwise.
    virtual std::int32_t connect(MobileDevice& device) = 0;
    virtual void disconnect(MobileDevice& device) = 0;
    // 1 when the device is paired with this computer.
    virtual std::int32_t isPaired(MobileDevice& device) = 0;
    // 0 on success. Never asks the user to trust the computer.
    virtual std::int32_t validatePairing(MobileDevice& device) = 0;
    // 0 on success.
    virtual std::int32_t startSession(MobileDevice& device) = 0;
    virtual void stopSession(MobileDevice& device) = 0;

    // The device identifier; nullopt when the framework gives none.
    virtual std::optional<std::string> copyDeviceIdentifier(MobileDevice& device) = 0;
    // The USB serial number; nullopt when the framework gives none or does not offer the operation
    // (the reader treats both alike).
    virtual std::optional<std::string> copyDeviceUSBSerialNumber(MobileDevice& device) = 0;
    // The value of `key` in `domain` (nullopt domain: the device's top level); a nullopt key asks
    // for the whole domain as a dictionary. nullopt when the device gives no value.
    virtual std::optional<PropertyValue> copyValue(MobileDevice& device, const std::optional<std::string>& domain,
                                                   const std::optional<std::string>& key) = 0;
    // The device's own registry entry named `entryName` as its diagnostics service answers for it
    // (the dictionary it sends, which may wrap the entry's properties under "IORegistry"). nullopt
    // when the device refuses the service, has no such entry or answers with something else. Only
    // inside a session started with `startSession`.
    virtual std::optional<PropertyDictionary> queryRegistryEntry(MobileDevice& device, const std::string& entryName) = 0;
    // How the device is attached (1: USB); nullopt when the framework does not offer the
    // operation, and the reader then accepts the device however it is attached.
    virtual std::optional<std::int32_t> interfaceType(MobileDevice& device) = 0;
};

}  // namespace ampwell::platform
