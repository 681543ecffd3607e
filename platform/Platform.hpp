#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/Defaults.hpp"
#include "platform/base/EventStream.hpp"
#include "platform/base/InstanceLock.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/base/SystemLog.hpp"
#include "platform/desktop/KeyShortcut.hpp"
#include "platform/desktop/UserScript.hpp"
#include "platform/devices/MobileDeviceService.hpp"
#include "platform/devices/UsbHost.hpp"
#include "platform/refresh/RefreshConnection.hpp"
#include "platform/registry/Registry.hpp"

#include <cstdint>
#include <optional>
#include <string>

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
    // The privileged refresh service: how to reach it, and where its files are installed.
    virtual RefreshConnector& refreshConnector() = 0;
    virtual RefreshInstallation refreshInstallation() = 0;
    // Whole seconds since 1970 at which the machine booted; nullopt when it cannot be read.
    virtual std::optional<std::int64_t> bootTimeSeconds() = 0;
    // The file the history of this machine's devices is kept in (made, with its directory, on
    // first write).
    virtual std::string historyPath() = 0;
    // How long a day of this machine lasts when its time is played rather than lived: on a
    // simulation's frozen clock a day (or the whole timeline, when longer) runs in an instant, so
    // the history modes play it before they show it. nullopt on a machine whose history is real.
    virtual std::optional<Seconds> playedHistorySpan() = 0;

    // The person a simulated machine scripts (dialog answers, notification permission, timed
    // clicks); nullptr on a real machine, where somebody real answers. Lives as long as the
    // platform.
    virtual UserScript* userScript() { return nullptr; }
    // True for the simulated Mac, false for the computer the program runs on.
    virtual bool isSimulated() const { return false; }
    // How this machine's menus write a key equivalent.
    virtual ShortcutStyle shortcutStyle() const { return ShortcutStyle::control; }
    // While set, the machine's own side effects that nobody would see on screen (a USB reset, a
    // user-defaults write, a system-log line) are also told to `stream`; nullptr stops it. A real
    // machine has nothing to add. Main thread; the stream must outlive the setting.
    virtual void setEventStream(EventStream* stream) { (void)stream; }
};

}  // namespace ampwell::platform
