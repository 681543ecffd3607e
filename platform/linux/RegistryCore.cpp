#include "platform/linux/RegistryCore.hpp"

#include "platform/linux/ThunderboltDocks.hpp"
#include "platform/linux/TypeCPorts.hpp"
#include "platform/registry/RegistryNames.hpp"

#include <algorithm>
#include <cmath>

namespace ampwell::platform::linux_ {

namespace {

constexpr const char* kUsbDevices = "bus/usb/devices";
// Entry IDs start above 2^32, as registry IDs usually do, so they never look like small numbers.
constexpr EntryID kFirstEntryID = 0x100000100ULL;

}  // namespace

RegistryCore::RegistryCore(std::string sysfsRoot, const Clock& clock)
    : tree_(std::move(sysfsRoot)), udev_(tree_), clock_(clock), nextID_(kFirstEntryID) {
    batteryID_ = newID();
    // Until the kernel announces a change, the power data is as current as the moment we started
    // watching: every later change is announced.
    lastPowerChange_.store(secondsSince1970(clock_.now()));
}

EntryID RegistryCore::newID() { return nextID_.fetch_add(1); }

std::shared_ptr<const RegistrySnapshot> RegistryCore::usbSnapshot() {
    std::vector<std::string> names;
    for (auto& name : tree_.list(kUsbDevices))
        if (name.find(':') == std::string::npos) names.push_back(std::move(name));
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return usbNameBefore(a, b); });

    std::lock_guard lock(mutex_);
    std::map<std::string, std::shared_ptr<const UsbDeviceRecord>> cache;
    std::vector<std::shared_ptr<const UsbDeviceRecord>> records;
    bool changed = false;
    for (const auto& name : names) {
        const std::string link = joinPath(kUsbDevices, name);
        auto identity = tree_.identity(link);
        if (!identity) continue;  // unplugged while we looked
        auto cached = cache_.find(name);
        std::shared_ptr<const UsbDeviceRecord> record;
        if (cached != cache_.end() && cached->second->identity == *identity && cached->second->complete) {
            record = cached->second;
        } else {
            auto devpath = tree_.link(link);
            if (!devpath) continue;
            const UsbDeviceRecord* previous = cached != cache_.end() ? cached->second.get() : nullptr;
            record = std::make_shared<const UsbDeviceRecord>(
                UsbDeviceRecord::read(tree_, udev_, name, *devpath, *identity, previous, [this] { return newID(); }));
            changed = true;
        }
        records.push_back(record);
        cache.emplace(name, std::move(record));
    }
    if (cache.size() != cache_.size()) changed = true;
    cache_ = std::move(cache);
    if (!changed && current_) return current_;
    current_ = std::make_shared<const RegistrySnapshot>(std::move(records));
    return current_;
}

bool RegistryCore::batteryPresent() const { return TypeCPorts::anyPort(tree_); }

PropertyDictionary RegistryCore::batteryProperties() const {
    PropertyDictionary properties;
    properties.emplace(keys::kPowerOutDetails, PropertyValue::array(TypeCPorts::powerOutDetails(tree_)));
    properties.emplace(keys::kUpdateTime,
                       PropertyValue::wholeNumber(static_cast<std::int64_t>(std::floor(lastPowerChange_.load()))));
    return properties;
}

PropertyDictionary RegistryCore::portProperties(const std::string& portDevpath) const {
    PropertyDictionary properties;
    auto index = TypeCPorts::connectorIndex(tree_, portDevpath);
    // A root hub port ("usbN-portM") of a dock's own controller: the dock's Type-C port stands for
    // it, so every device on the dock is listed under that port.
    if (!index && baseName(portDevpath).substr(0, 3) == "usb") {
        const auto rootHub = parentPath(parentPath(portDevpath));
        index = ThunderboltDocks::typeCPortOf(tree_, std::string(parentPath(rootHub)));
    }
    if (index) {
        properties.emplace(keys::kParentPortType, PropertyValue::string(portTypes::kUSBC));
        properties.emplace(keys::kParentPortNumber, PropertyValue::wholeNumber(*index + 1));
    }
    return properties;
}

void RegistryCore::notePowerChange(Date when) { lastPowerChange_.store(secondsSince1970(when)); }

}  // namespace ampwell::platform::linux_
