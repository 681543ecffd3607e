#pragma once

#include "platform/Clock.hpp"
#include "platform/Defaults.hpp"
#include "platform/EventStream.hpp"
#include "platform/InstanceLock.hpp"
#include "platform/MainQueue.hpp"
#include "platform/MobileDeviceService.hpp"
#include "platform/RefreshConnection.hpp"
#include "platform/Registry.hpp"
#include "platform/SystemLog.hpp"
#include "platform/UsbHost.hpp"
#include "platform/UserScript.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>

namespace ampwell::platform {

// Everything that touches the machine, for one process. Made once, at start-up, by `makePlatform`;
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
    // The privileged refresh service: how to reach it, and where its files are installed.
    virtual RefreshConnector& refreshConnector() = 0;
    virtual RefreshInstallation refreshInstallation() = 0;
    // Whole seconds since 1970 at which the machine booted; nullopt when it cannot be read.
    virtual std::optional<std::int64_t> bootTimeSeconds() = 0;

    // The person a simulated machine scripts (dialog answers, notification permission, timed
    // clicks); nullptr on a real machine, where somebody real answers. Lives as long as the
    // platform.
    virtual UserScript* userScript() { return nullptr; }
    // While set, the machine's own side effects that nobody would see on screen (a USB reset, a
    // user-defaults write, a system-log line) are also told to `stream`; nullptr stops it. A real
    // machine has nothing to add. Main thread; the stream must outlive the setting.
    virtual void setEventStream(EventStream* stream) { (void)stream; }
};

// A platform that cannot be made (a malformed simulation file, a missing backend). The message is
// one line meant for the user.
class PlatformError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The simulated Mac when `simulationPath` names a file (the value of AMPWELL_SIMULATION),
// otherwise the host's native backend. Throws PlatformError.
std::unique_ptr<Platform> makePlatform(const char* simulationPath);

}  // namespace ampwell::platform
