#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/PropertyValue.hpp"
#include "platform/linux/RegistrySnapshot.hpp"
#include "platform/linux/SysfsTree.hpp"
#include "platform/linux/UdevProperties.hpp"
#include "platform/registry/Registry.hpp"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace ampwell::platform::linux_ {

// The state behind the Linux registry, shared by the registry, the entries and iterators it hands
// out and its notification ports (so handles outlive nothing they use). Thread-safe.
//
// Every look at the USB devices lists the bus again and checks each device directory's identity;
// only a new or replaced directory is read in full. So a walk always sees the devices attached
// now, at the cost of one directory listing and one stat per device.
class RegistryCore {
public:
    RegistryCore(std::string sysfsRoot, const Clock& clock);

    const SysfsTree& tree() const { return tree_; }
    const Clock& clock() const { return clock_; }

    // The USB devices as they are now. The same snapshot object comes back as long as nothing
    // was plugged, unplugged or completed in between.
    std::shared_ptr<const RegistrySnapshot> usbSnapshot();

    // The synthesised power manager entry: present while the kernel has a Type-C port.
    EntryID batteryID() const { return batteryID_; }
    bool batteryPresent() const;
    PropertyDictionary batteryProperties() const;
    // A hub port: "USB-C" and its number when its connector is a Type-C port (for the root hub
    // ports of a dock's own controller: the Type-C port the dock hangs on); for any other root
    // hub port "usbB-portP" a user can plug into, "USB" with the number B × 100 + P and the name
    // "B-P"; nothing for the ports of external hubs and for hard-wired or unused root hub ports.
    PropertyDictionary portProperties(const std::string& portDevpath) const;

    // The kernel announced a Type-C or power-supply change (a uevent) at `when`.
    void notePowerChange(Date when);

private:
    EntryID newID();

    SysfsTree tree_;
    UdevProperties udev_;
    const Clock& clock_;
    std::atomic<EntryID> nextID_;
    EntryID batteryID_;
    std::atomic<double> lastPowerChange_;

    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<const UsbDeviceRecord>> cache_;  // by device name
    std::shared_ptr<const RegistrySnapshot> current_;
};

}  // namespace ampwell::platform::linux_
