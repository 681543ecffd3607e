#pragma once

#include "platform/base/Clock.hpp"
#include "platform/linux/GLibMainQueue.hpp"
#include "platform/linux/RegistryCore.hpp"
#include "platform/linux/SharedUdevMonitor.hpp"
#include "platform/linux/SysfsTree.hpp"
#include "platform/registry/Registry.hpp"

#include <memory>
#include <string>

namespace ampwell::platform::linux_ {

// The registry of a Linux computer, read from sysfs (and udev's database for the session
// numbers): "IOUSBHostDevice" and "IOUSBHostInterface" entries for the USB devices, the "IOPort"
// plane of hub ports with the Type-C connectors, and a synthesised "AppleSmartBattery" holding the
// power output of the Type-C ports. Each key is read where it is published: USB devices in
// UsbDeviceRecord, ports and the plane in RegistrySnapshot, the power output in TypeCPorts.
class LinuxRegistry final : public Registry {
public:
    // `mainQueue` may be null, and the notification ports need the system's own tree: without
    // either, createNotificationPort() answers nullptr. All ports share one udev monitor, open
    // while at least one of them is.
    LinuxRegistry(std::string sysfsRoot, const Clock& clock, GLibMainQueue* mainQueue);

    ServiceMatch matchingServices(const std::string& className) override;
    std::unique_ptr<RegistryEntry> firstMatchingService(const std::string& className) override;
    std::unique_ptr<RegistryEntry> entry(EntryID id) override;
    std::unique_ptr<NotificationPort> createNotificationPort() override;
    // A Linux machine is not a Mac: the texts say "computer".
    // i18n: composed into a sentence that the catalog translates whole.
    std::string machineNoun() const override { return "电脑"; }

private:
    std::shared_ptr<RegistryCore> core_;
    GLibMainQueue* mainQueue_;
    std::shared_ptr<SharedUdevMonitor> monitor_;  // null when there can be no notification port
};

}  // namespace ampwell::platform::linux_
