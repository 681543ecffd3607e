#include "platform/linux/UdevProperties.hpp"

#include <libudev.h>

#include <string_view>

namespace ampwell::platform::linux_ {

UdevProperties::UdevProperties(const SysfsTree& tree) : tree_(tree) {
    if (tree_.isSystemTree()) udev_ = udev_new();
}

UdevProperties::~UdevProperties() {
    if (udev_ != nullptr) udev_unref(udev_);
}

std::optional<std::string> UdevProperties::value(const std::string& devpath, const char* key) const {
    if (udev_ == nullptr) return fromUeventFile(devpath, key);
    std::lock_guard lock(mutex_);
    const std::string syspath = tree_.absolute(devpath);
    struct udev_device* device = udev_device_new_from_syspath(udev_, syspath.c_str());
    if (device == nullptr) return std::nullopt;
    std::optional<std::string> result;
    if (const char* found = udev_device_get_property_value(device, key)) result = found;
    udev_device_unref(device);
    return result;
}

std::optional<std::string> UdevProperties::fromUeventFile(const std::string& devpath, const char* key) const {
    auto contents = tree_.attribute(joinPath(devpath, "uevent"));
    if (!contents) return std::nullopt;
    const std::string_view wanted(key);
    std::string_view rest(*contents);
    while (!rest.empty()) {
        auto end = rest.find('\n');
        std::string_view line = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (line.size() > wanted.size() && line.substr(0, wanted.size()) == wanted && line[wanted.size()] == '=')
            return std::string(line.substr(wanted.size() + 1));
    }
    return std::nullopt;
}

}  // namespace ampwell::platform::linux_
