#include "platform/linux/LibusbHost.hpp"

#include "platform/base/Translation.hpp"
#include "platform/registry/RegistryNames.hpp"

#include <fmt/format.h>
#include <libusb.h>

#include <cmath>

namespace ampwell::platform::linux_ {

namespace {

constexpr const char* kDomain = "libusb";

// IOKit result codes for what libusb reports.
constexpr std::int32_t kResultNoMemory = static_cast<std::int32_t>(0xE00002BD);
constexpr std::int32_t kResultNoDevice = static_cast<std::int32_t>(0xE00002C0);
constexpr std::int32_t kResultBadArgument = static_cast<std::int32_t>(0xE00002C2);
constexpr std::int32_t kResultUnsupported = static_cast<std::int32_t>(0xE00002C7);
constexpr std::int32_t kResultIOError = static_cast<std::int32_t>(0xE00002CA);
constexpr std::int32_t kResultTimeout = static_cast<std::int32_t>(0xE00002D6);
constexpr std::int32_t kResultAborted = static_cast<std::int32_t>(0xE00002EB);

std::int32_t resultCode(int libusbCode) {
    switch (libusbCode) {
    case LIBUSB_ERROR_ACCESS: return kResultNotPrivileged;
    case LIBUSB_ERROR_BUSY: return kResultExclusiveAccess;
    case LIBUSB_ERROR_NO_DEVICE:
    case LIBUSB_ERROR_NOT_FOUND: return kResultNoDevice;
    case LIBUSB_ERROR_INVALID_PARAM: return kResultBadArgument;
    case LIBUSB_ERROR_NO_MEM: return kResultNoMemory;
    case LIBUSB_ERROR_TIMEOUT: return kResultTimeout;
    case LIBUSB_ERROR_NOT_SUPPORTED: return kResultUnsupported;
    case LIBUSB_ERROR_IO: return kResultIOError;
    case LIBUSB_ERROR_INTERRUPTED: return kResultAborted;
    default: return kResultError;
    }
}

std::optional<std::uint64_t> wholeProperty(const RegistryEntry& entry, const char* key) {
    auto value = entry.property(key);
    const PropertyNumber* number = value ? value->number() : nullptr;
    if (number == nullptr || !number->whole || number->value < 0) return std::nullopt;
    return static_cast<std::uint64_t>(number->value);
}

}  // namespace

// One libusb context for the process's USB host; clients keep it alive while they are open.
struct LibusbHost::Context {
    libusb_context* context = nullptr;
    ~Context() {
        if (context != nullptr) libusb_exit(context);
    }
};

namespace {

class LibusbClient final : public UsbHostClient {
public:
    LibusbClient(std::shared_ptr<LibusbHost::Context> context, libusb_device_handle* handle)
        : context_(std::move(context)), handle_(handle) {}
    ~LibusbClient() override { libusb_close(handle_); }

    std::optional<UsbHostError> reset() override {
        const int result = libusb_reset_device(handle_);
        // NOT_FOUND: the port was reset and the device now enumerates anew (or left the bus), so
        // this handle is spent either way; the reset itself was carried out.
        if (result == LIBUSB_SUCCESS || result == LIBUSB_ERROR_NOT_FOUND) return std::nullopt;
        return LibusbHost::errorFor(result);
    }

private:
    std::shared_ptr<LibusbHost::Context> context_;
    libusb_device_handle* handle_;
};

}  // namespace

LibusbHost::LibusbHost() = default;
LibusbHost::~LibusbHost() = default;

UsbHostError LibusbHost::errorFor(int libusbCode) {
    std::string description = fmt::format("{} ({})", libusb_strerror(libusbCode), libusb_error_name(libusbCode));
    // The installed udev rule opens only Apple's mobile devices to the user at the seat; say so,
    // because the same refusal for a keyboard or a disk is expected and not a broken install.
    if (libusbCode == LIBUSB_ERROR_ACCESS) description += tr(kAccessHint);
    return UsbHostError{kDomain, resultCode(libusbCode), std::move(description)};
}

std::shared_ptr<LibusbHost::Context> LibusbHost::context() {
    std::lock_guard lock(mutex_);
    if (!context_ && initResult_ == 0) {
        auto context = std::make_shared<Context>();
        initResult_ = libusb_init(&context->context);
        if (initResult_ == 0) context_ = std::move(context);
    }
    return context_;
}

UsbHostOpenResult LibusbHost::open(const RegistryEntry& device) {
    UsbHostOpenResult result;
    const auto bus = wholeProperty(device, keys::kBusNumber);
    const auto address = wholeProperty(device, keys::kAddress);
    if (!bus || !address) {
        result.error = UsbHostError{kDomain, kResultBadArgument, "The device has no USB bus number and address."};
        return result;
    }
    auto context = this->context();
    if (!context) {
        result.error = errorFor(initResult_);
        return result;
    }
    const auto vendor = wholeProperty(device, keys::kVendorID);
    const auto product = wholeProperty(device, keys::kProductID);

    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context->context, &list);
    if (count < 0) {
        result.error = errorFor(static_cast<int>(count));
        return result;
    }
    libusb_device* found = nullptr;
    for (ssize_t i = 0; i < count; ++i) {
        if (libusb_get_bus_number(list[i]) != *bus || libusb_get_device_address(list[i]) != *address) continue;
        // An address is reused after 127 plug-ins: the device there must still be the same kind.
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) == 0 && ((vendor && descriptor.idVendor != *vendor) ||
                                                                        (product && descriptor.idProduct != *product)))
            continue;
        found = list[i];
        break;
    }
    int status = LIBUSB_ERROR_NO_DEVICE;
    libusb_device_handle* handle = nullptr;
    if (found != nullptr) status = libusb_open(found, &handle);
    libusb_free_device_list(list, 1);
    if (status != 0) {
        result.error = errorFor(status);
        return result;
    }
    result.client = std::make_unique<LibusbClient>(std::move(context), handle);
    return result;
}

}  // namespace ampwell::platform::linux_
