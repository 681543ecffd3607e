#pragma once

#include "platform/linux/RegistryCore.hpp"
#include "platform/linux/SharedUdevMonitor.hpp"
#include "platform/registry/Registry.hpp"

#include <cstdint>
#include <memory>

namespace ampwell::platform::linux_ {

// A notification port on the GLib main context, fed by the registry's shared udev monitor. Each
// wake-up of the monitor is one batch: the registry is looked at again and every armed matching notification
// whose class gained (first match) or lost (terminate) entries gets one handler call with all of
// them; a Type-C, USB PD or power-supply event sends one battery-status-changed message to the
// interest notifications on the power manager entry. Comparing snapshots rather than trusting
// single events means a lost event never leaves a device unreported.
//
// The first-match iterator starts with the entries already present; the terminate iterator
// starts empty. Main thread only, like the context it runs on.
class LinuxNotificationPort final : public NotificationPort {
public:
    // nullptr when no udev monitor can be opened.
    static std::unique_ptr<LinuxNotificationPort> open(std::shared_ptr<RegistryCore> core, SharedUdevMonitor& monitor);
    ~LinuxNotificationPort() override;

    MatchingNotification addMatchingNotification(MatchingEvent event, const std::string& className,
                                                 std::function<void(ServiceIterator&)> handler) override;
    InterestNotification addInterestNotification(const RegistryEntry& entry,
                                                 std::function<void(std::uint32_t messageType)> handler) override;

    struct State;

private:
    explicit LinuxNotificationPort(std::shared_ptr<State> state);
    std::shared_ptr<State> state_;
};

}  // namespace ampwell::platform::linux_
