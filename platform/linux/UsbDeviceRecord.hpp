#pragma once

#include "platform/base/PropertyValue.hpp"
#include "platform/linux/SysfsTree.hpp"
#include "platform/linux/UdevProperties.hpp"
#include "platform/registry/Registry.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace ampwell::platform::linux_ {

// One interface of a USB device ("1-1:1.0").
struct UsbInterfaceRecord {
    EntryID id = 0;
    std::string devpath;
    PropertyDictionary properties;
};

// One downstream port of a hub ("usb1-port1", "1-1-port3"): a directory below one of the hub's
// interfaces, possibly with a `connector` link to the Type-C port it is wired to.
struct UsbPortRecord {
    EntryID id = 0;
    std::string devpath;
};

// What one attached USB device looked like when it was read: its registry properties, its
// interfaces and (for a hub) its ports. The kernel never changes these strings and numbers while
// the device stays attached, so a record is kept until the device directory is replaced.
struct UsbDeviceRecord {
    std::string name;     // "usb1" for a root hub, "1-1.4" behind a hub
    std::string devpath;  // below the sysfs root, links resolved
    FileIdentity identity;
    bool rootHub = false;
    std::uint64_t sessionID = 0;
    EntryID id = 0;
    PropertyDictionary properties;
    std::optional<std::string> portDevpath;  // the hub port it is plugged into
    std::vector<UsbInterfaceRecord> interfaces;
    std::vector<UsbPortRecord> ports;
    // False while the kernel is still creating the interfaces, ports or `port` link of a new
    // device: such a record is read again at the next look.
    bool complete = true;

    // Reads the device `name` whose directory is `devpath`. A `previous` record of the same
    // attachment (same path, same session) hands its entry IDs on, so that reading a device again
    // never changes its identity; everything else gets fresh IDs from `newID`.
    static UsbDeviceRecord read(const SysfsTree& tree, const UdevProperties& udev, const std::string& name,
                                const std::string& devpath, const FileIdentity& identity,
                                const UsbDeviceRecord* previous, const std::function<EntryID()>& newID);
};

// The session number when udev has no initialisation time: it combines the bus number, the
// device address and the directory's inode, all of which are handed out anew when a device is
// plugged in again. Always above zero.
std::uint64_t fallbackSessionID(std::uint64_t busNumber, std::uint64_t address, std::uint64_t inode);

// Numbers as sysfs writes them; nullopt for anything else.
std::optional<std::uint64_t> parseHexadecimal(std::string_view text);
std::optional<std::uint64_t> parseDecimal(std::string_view text);

// Registry order of USB devices: bus, then the port path numerically ("1-2" < "1-10"), root hub
// first.
bool usbNameBefore(std::string_view left, std::string_view right);

}  // namespace ampwell::platform::linux_
