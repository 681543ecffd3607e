#pragma once

#include "platform/refresh/BatteryManager.hpp"

#include <string>
#include <vector>

namespace ampwell::platform::linux_ {

// What a root process can do on Linux in place of the Mac's battery-manager refresh command: ask
// the kernel to announce the state of every USB Type-C device and every power supply afresh, by
// writing "change" to their `uevent` files. The kernel then sends a "change" uevent for each;
// for a power supply the event carries property values the driver reports at that moment. The
// application's own uevent monitor takes these as power-reading updates and reads again.
//
// It cannot make a driver renegotiate a USB-PD contract or measure anything it does not already
// measure: where the kernel holds no output figures for a port, a refresh brings none either. The
// steps and their codes:
// - service "AppleSmartBatteryManager": present while `<sysfs>/class/typec` or
//   `<sysfs>/class/power_supply` lists at least one device; otherwise none (kIOReturnNotFound);
//   any other class name finds nothing;
// - open, type 0: opens every such `uevent` file for writing; another type is
//   kIOReturnBadArgument; none opened: kIOReturnNotPrivileged when permission was refused for
//   any, else kIOReturnNotFound;
// - method 4 with the one input 4: writes "change" to each opened file; another selector is
//   kIOReturnUnsupported, other inputs kIOReturnBadArgument; a device that went away in between
//   is skipped; any other write failure, or nothing written at all, is kIOReturnIOError;
// - closing the connection closes the files.
class LinuxBatteryManager final : public BatteryManager {
public:
    explicit LinuxBatteryManager(std::string sysfsRoot = "/sys");
    std::unique_ptr<BatteryManagerService> firstMatchingService(const std::string& className) override;

    // The `uevent` files the refresh writes to, Type-C devices first, each class in name order.
    std::vector<std::string> ueventFiles() const;

private:
    std::string sysfsRoot_;
};

}  // namespace ampwell::platform::linux_
