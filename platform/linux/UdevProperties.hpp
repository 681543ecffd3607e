#pragma once

#include "platform/linux/SysfsTree.hpp"

#include <mutex>
#include <optional>
#include <string>

struct udev;

namespace ampwell::platform::linux_ {

// udev's properties of a device: its uevent variables and what udev added in its database (such
// as USEC_INITIALIZED). On the system's own sysfs they come through libudev; below any other root
// libudev would read the wrong tree, so only the device's uevent file is read there.
// Thread-safe: the libudev context is used under a lock.
class UdevProperties {
public:
    explicit UdevProperties(const SysfsTree& tree);
    ~UdevProperties();
    UdevProperties(const UdevProperties&) = delete;
    UdevProperties& operator=(const UdevProperties&) = delete;

    // The property `key` of the device at `devpath` (relative to the tree's root).
    std::optional<std::string> value(const std::string& devpath, const char* key) const;

private:
    std::optional<std::string> fromUeventFile(const std::string& devpath, const char* key) const;

    const SysfsTree& tree_;
    mutable std::mutex mutex_;
    struct udev* udev_ = nullptr;
};

}  // namespace ampwell::platform::linux_
