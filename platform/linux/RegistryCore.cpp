#include "platform/linux/RegistryCore.hpp"

#include "platform/linux/ThunderboltDocks.hpp"
#include "platform/linux/TypeCPorts.hpp"
#include "platform/linux/UsbDeviceRecord.hpp"
#include "platform/registry/RegistryNames.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>

namespace ampwell::platform::linux_ {

namespace {

constexpr const char* kUsbDevices = "bus/usb/devices";
// Entry IDs start above 2^32, as registry IDs usually do, so they never look like small numbers.
constexpr EntryID kFirstEntryID = 0x100000100ULL;
// A plain USB port's number is bus × 100 + port. The kernel gives a root hub at most 31 ports and
// numbers buses from 1 to at most 64, so two ports never share a number; anything else is no port
// of a real root hub.
constexpr std::int64_t kPortsPerBus = 100;
constexpr std::uint64_t kHighestBus = 255;

// "usbB-portP", a port of a root hub, that is of the computer itself: B and P.
std::optional<std::pair<std::int64_t, std::int64_t>> rootPortNumbers(std::string_view name) {
    constexpr std::string_view kPortInfix = "-port";
    if (name.substr(0, 3) != "usb") return std::nullopt;
    const auto infix = name.find(kPortInfix);
    if (infix == std::string_view::npos) return std::nullopt;
    const auto bus = parseDecimal(name.substr(3, infix - 3));
    const auto port = parseDecimal(name.substr(infix + kPortInfix.size()));
    if (!bus || !port || *bus == 0 || *bus > kHighestBus || *port == 0 || *port >= kPortsPerBus) return std::nullopt;
    return std::pair{static_cast<std::int64_t>(*bus), static_cast<std::int64_t>(*port)};
}

// A port a user can plug into: the firmware does not call it hard-wired to a built-in device
// (camera, Bluetooth, card reader) or unused. "hotplug", "unknown" and no word at all count.
bool isSocket(const SysfsTree& tree, const std::string& portDevpath) {
    const auto connectType = tree.attribute(joinPath(portDevpath, "connect_type"));
    return connectType != "hardwired" && connectType != "not used";
}

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
    const auto rootPort = rootPortNumbers(baseName(portDevpath));
    // A root hub port of a dock's own controller: the dock's Type-C port stands for it, so every
    // device on the dock is listed under that port.
    if (!index && rootPort) {
        const auto rootHub = parentPath(parentPath(portDevpath));
        index = ThunderboltDocks::typeCPortOf(tree_, std::string(parentPath(rootHub)));
    }
    if (index) {
        properties.emplace(keys::kParentPortType, PropertyValue::string(portTypes::kUSBC));
        properties.emplace(keys::kParentPortNumber, PropertyValue::wholeNumber(*index + 1));
    } else if (rootPort && isSocket(tree_, portDevpath)) {
        // Any other port of the computer itself is a plain USB port, named as the kernel names the
        // device on it. Ports of external hubs stay unnamed: a device behind a hub belongs to the
        // port the hub hangs on.
        const auto [bus, port] = *rootPort;
        properties.emplace(keys::kParentPortType, PropertyValue::string(portTypes::kUSB));
        properties.emplace(keys::kParentPortNumber, PropertyValue::wholeNumber(bus * kPortsPerBus + port));
        properties.emplace(keys::kPortName, PropertyValue::string(fmt::format("{}-{}", bus, port)));
    }
    return properties;
}

void RegistryCore::notePowerChange(Date when) { lastPowerChange_.store(secondsSince1970(when)); }

}  // namespace ampwell::platform::linux_
