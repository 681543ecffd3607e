#include "platform/linux/UdevMonitor.hpp"

#include <libudev.h>

#include <cstring>

namespace ampwell::platform::linux_ {

namespace {

bool equals(const char* a, const char* b) { return a != nullptr && std::strcmp(a, b) == 0; }

}  // namespace

std::unique_ptr<UdevMonitor> UdevMonitor::open() {
    struct udev* udev = udev_new();
    if (udev == nullptr) return nullptr;
    struct udev_monitor* monitor = udev_monitor_new_from_netlink(udev, "udev");
    if (monitor == nullptr) {
        udev_unref(udev);
        return nullptr;
    }
    const bool ok = udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb", "usb_device") >= 0 &&
                    udev_monitor_filter_add_match_subsystem_devtype(monitor, "typec", nullptr) >= 0 &&
                    udev_monitor_filter_add_match_subsystem_devtype(monitor, "usb_power_delivery", nullptr) >= 0 &&
                    udev_monitor_filter_add_match_subsystem_devtype(monitor, "power_supply", nullptr) >= 0 &&
                    udev_monitor_enable_receiving(monitor) >= 0;
    if (!ok) {
        udev_monitor_unref(monitor);
        udev_unref(udev);
        return nullptr;
    }
    return std::unique_ptr<UdevMonitor>(new UdevMonitor(udev, monitor));
}

UdevMonitor::UdevMonitor(struct udev* udev, struct udev_monitor* monitor) : udev_(udev), monitor_(monitor) {}

UdevMonitor::~UdevMonitor() {
    udev_monitor_unref(monitor_);
    udev_unref(udev_);
}

int UdevMonitor::fd() const { return udev_monitor_get_fd(monitor_); }

UdevBatch UdevMonitor::drain() {
    UdevBatch batch;
    while (struct udev_device* device = udev_monitor_receive_device(monitor_)) {
        const char* subsystem = udev_device_get_subsystem(device);
        const char* action = udev_device_get_action(device);
        if (equals(subsystem, "usb")) {
            if (equals(action, "add") || equals(action, "remove")) batch.usbDevices = true;
        } else if (subsystem != nullptr) {
            batch.power = true;
        }
        udev_device_unref(device);
    }
    return batch;
}

}  // namespace ampwell::platform::linux_
