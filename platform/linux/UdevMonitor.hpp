#pragma once

#include <memory>

struct udev;
struct udev_monitor;

namespace ampwell::platform::linux_ {

// What one wake-up of the monitor brought: which kinds of kernel objects changed.
struct UdevBatch {
    bool usbDevices = false;  // a USB device was added or removed
    bool power = false;       // a Type-C, USB PD or power-supply object was added, removed or changed
    bool any() const { return usbDevices || power; }
};

// A udev monitor (events after udev has processed them) for USB devices, the Type-C class, USB
// Power Delivery and power supplies. Use it from one thread.
class UdevMonitor {
public:
    // nullptr when udev's netlink socket cannot be opened.
    static std::unique_ptr<UdevMonitor> open();
    ~UdevMonitor();
    UdevMonitor(const UdevMonitor&) = delete;
    UdevMonitor& operator=(const UdevMonitor&) = delete;

    // The socket to wait on; it never blocks a receive.
    int fd() const;
    // Receives every event queued now.
    UdevBatch drain();

private:
    UdevMonitor(struct udev* udev, struct udev_monitor* monitor);
    struct udev* udev_;
    struct udev_monitor* monitor_;
};

}  // namespace ampwell::platform::linux_
