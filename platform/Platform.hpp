#pragma once

#include "platform/Clock.hpp"
#include "platform/Defaults.hpp"
#include "platform/InstanceLock.hpp"
#include "platform/MainQueue.hpp"
#include "platform/MobileDeviceService.hpp"
#include "platform/Registry.hpp"
#include "platform/SystemLog.hpp"
#include "platform/UsbHost.hpp"

#include <cstdint>
#include <optional>

namespace ampwell::platform {

// Everything that touches the machine, for one process. Made once, at start-up, by the factory;
// the logic receives the parts it needs and never asks which backend it runs on.
class Platform {
public:
    virtual ~Platform() = default;

    virtual Clock& clock() = 0;
    virtual MainQueue& mainQueue() = 0;
    virtual Registry& registry() = 0;
    virtual MobileDeviceService& mobileDevices() = 0;
    virtual Defaults& defaults() = 0;
    virtual InstanceLock& instanceLock() = 0;
    virtual SystemLog& systemLog() = 0;
    virtual UsbHost& usbHost() = 0;
    // Whole seconds since 1970 at which the machine booted; nullopt when it cannot be read.
    virtual std::optional<std::int64_t> bootTimeSeconds() = 0;
};

}  // namespace ampwell::platform
