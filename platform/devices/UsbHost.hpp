#pragma once

#include "platform/registry/Registry.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace ampwell::platform {

// IOKit-style result codes a USB host client can fail with.
inline constexpr std::int32_t kResultNotPrivileged = static_cast<std::int32_t>(0xE00002C1);
inline constexpr std::int32_t kResultExclusiveAccess = static_cast<std::int32_t>(0xE00002C5);
inline constexpr std::int32_t kResultNotPermitted = static_cast<std::int32_t>(0xE00002E2);

// The error a USB host call hands back, as the system reports it: an error domain, an integer
// code (an IOKit result code for the IOKit domain, an errno or libusb code elsewhere) and a
// localized description meant for the user.
struct UsbHostError {
    std::string domain;
    std::int64_t code = 0;
    std::string description;

    friend bool operator==(const UsbHostError&, const UsbHostError&) = default;
};

// A host-side client of one USB device. Destroying the client closes it (the host's "destroy"),
// so a client never outlives the reset it was opened for. Used from one thread at a time.
class UsbHostClient {
public:
    virtual ~UsbHostClient() = default;

    // Resets the device's USB port, which makes the host enumerate it again. Blocks until the host
    // has answered; nullopt on success, the host's error otherwise.
    virtual std::optional<UsbHostError> reset() = 0;
};

struct UsbHostOpenResult {
    std::unique_ptr<UsbHostClient> client;  // present on success
    UsbHostError error;                     // why no client was made; meaningful only without one
};

// Opens host-side clients for USB devices found in the registry. Thread-safe; may be called from
// any thread and may block while the host answers, so never call it on the main thread.
class UsbHost {
public:
    virtual ~UsbHost() = default;

    // Opens a client for the "IOUSBHostDevice" entry. Without a client the result carries the
    // host's error (a gone device, exclusive access by another driver, missing privileges, ...).
    // Opening never changes the device.
    virtual UsbHostOpenResult open(const RegistryEntry& device) = 0;
};

}  // namespace ampwell::platform
