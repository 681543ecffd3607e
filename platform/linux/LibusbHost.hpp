#pragma once

#include "platform/base/Translation.hpp"
#include "platform/devices/UsbHost.hpp"

#include <memory>
#include <mutex>

namespace ampwell::platform::linux_ {

// The USB host client over libusb (usbfs): a device is opened by the bus number and address its
// registry entry carries, reset with USBDEVFS_RESET, and closed when the client goes. Failures
// come back in the "libusb" domain with IOKit-style codes, so that the resetter tells missing
// permissions (LIBUSB_ERROR_ACCESS: no write access to /dev/bus/usb/BBB/DDD) and a device held by
// someone else (LIBUSB_ERROR_BUSY) apart from other refusals; the description is libusb's own.
// Thread-safe.
class LibusbHost final : public UsbHost {
public:
    LibusbHost();
    ~LibusbHost() override;
    LibusbHost(const LibusbHost&) = delete;
    LibusbHost& operator=(const LibusbHost&) = delete;

    UsbHostOpenResult open(const RegistryEntry& device) override;

    // How a libusb error code is reported. Missing permissions also get kAccessHint.
    static UsbHostError errorFor(int libusbCode);

    // What a user can do about LIBUSB_ERROR_ACCESS, appended to libusb's description.
    static constexpr const char* kAccessHint = trMarked(
        "；登录用户只能重置 iPad 和 iPhone（需要安装 Ampwell 的 udev 规则 70-ampwell.rules 后重新插入设备），"
        "重置其他 USB 设备需要 root 权限");

    struct Context;

private:
    std::shared_ptr<Context> context();

    std::mutex mutex_;
    std::shared_ptr<Context> context_;
    int initResult_ = 0;
};

}  // namespace ampwell::platform::linux_
