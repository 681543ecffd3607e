#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ampwell::platform {

// The system's battery manager as the daemon drives it: look the service up, open a user-client
// connection, call one scalar method, close. Every step answers with a 32-bit IOKit-style result
// code (0 is success). Used from the daemon's operation queue only; each call may block.

inline constexpr std::uint32_t kIOReturnSuccess = 0;
inline constexpr std::uint32_t kIOReturnNotPrivileged = 0xE00002C1;
inline constexpr std::uint32_t kIOReturnBadArgument = 0xE00002C2;
inline constexpr std::uint32_t kIOReturnUnsupported = 0xE00002C7;
inline constexpr std::uint32_t kIOReturnIOError = 0xE00002CA;
inline constexpr std::uint32_t kIOReturnNotFound = 0xE00002F0;

// An open user-client connection. Destroying it closes it.
class BatteryManagerConnection {
public:
    virtual ~BatteryManagerConnection() = default;
    // Calls external method `selector` with these scalar inputs and no outputs.
    virtual std::uint32_t callMethod(std::uint32_t selector, const std::vector<std::uint64_t>& scalarInputs) = 0;
};

struct BatteryManagerOpenResult {
    std::uint32_t code = kIOReturnSuccess;
    std::unique_ptr<BatteryManagerConnection> connection;  // present exactly when code is 0
};

// A registry service found by class. Destroying it releases it.
class BatteryManagerService {
public:
    virtual ~BatteryManagerService() = default;
    // Opens a user-client connection of `type` for this task.
    virtual BatteryManagerOpenResult open(std::uint32_t type) = 0;
};

class BatteryManager {
public:
    virtual ~BatteryManager() = default;
    // The first service matching `className`, or nullptr when there is none.
    virtual std::unique_ptr<BatteryManagerService> firstMatchingService(const std::string& className) = 0;
};

}  // namespace ampwell::platform
