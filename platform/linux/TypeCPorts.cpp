#include "platform/linux/TypeCPorts.hpp"

#include "platform/registry/RegistryNames.hpp"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <limits>

namespace ampwell::platform::linux_ {

namespace {

constexpr const char* kTypeCClass = "class/typec";
constexpr const char* kPowerSupplyClass = "class/power_supply";

// USB Type-C current levels at 5 V (Type-C Current @ 1.5 A and @ 3.0 A).
constexpr std::int64_t kTypeCVoltage = 5000;

std::optional<std::int64_t> signedNumber(const std::optional<std::string>& text) {
    if (!text) return std::nullopt;
    std::string_view view(*text);
    while (!view.empty() && (view.back() == ' ' || view.back() == '\n')) view.remove_suffix(1);
    std::int64_t value = 0;
    auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
    if (view.empty() || error != std::errc() || end != view.data() + view.size()) return std::nullopt;
    return value;
}

// The most a USB port can carry, in micro-units: USB Power Delivery's extended power range ends at
// 48 V, 5 A and 240 W. A driver that reports more reports no measurement (an unset register, a
// saturated "unknown" such as INT64_MAX), and it must not reach the menu as a figure.
constexpr std::int64_t kMaximumMicrovolts = 48'000'000;
constexpr std::int64_t kMaximumMicroamps = 5'000'000;
constexpr std::int64_t kMaximumMicrowatts = 240'000'000;

// A micro-unit reading as milli-units; readings below zero or above `maximum` carry no usable
// output figure.
void putMilli(PropertyDictionary& details, const char* key, const std::optional<std::int64_t>& micro,
              std::int64_t maximum) {
    if (!micro || *micro < 0 || *micro > maximum) return;
    details.insert_or_assign(key, PropertyValue::realNumber(static_cast<double>(*micro) / 1000.0));
}

// The supply sits on a port in the source role, so whatever current and power it measures flow
// out of the computer. Drivers that sign a flow by the battery convention (negative: leaving)
// report that as a negative number; its size is the output figure. A voltage has no direction,
// so a negative one stays unusable.
std::optional<std::int64_t> outwardFlow(const std::optional<std::int64_t>& micro) {
    if (!micro || *micro == std::numeric_limits<std::int64_t>::min()) return std::nullopt;
    return *micro < 0 ? -*micro : *micro;
}

void addMeasurements(const SysfsTree& tree, const TypeCPort& port, PropertyDictionary& details) {
    for (const auto& name : tree.list(kPowerSupplyClass)) {
        // The class entry is a link; the supply's own `device` link is relative to its real place.
        const auto supply = tree.link(joinPath(kPowerSupplyClass, name));
        if (!supply || tree.link(joinPath(*supply, "device")) != port.devpath) continue;
        if (tree.attribute(joinPath(*supply, "online")) == "0") continue;
        putMilli(details, keys::kAdapterVoltage, signedNumber(tree.attribute(joinPath(*supply, "voltage_now"))),
                 kMaximumMicrovolts);
        putMilli(details, keys::kCurrent, outwardFlow(signedNumber(tree.attribute(joinPath(*supply, "current_now")))),
                 kMaximumMicroamps);
        putMilli(details, keys::kWatts, outwardFlow(signedNumber(tree.attribute(joinPath(*supply, "power_now")))),
                 kMaximumMicrowatts);
        return;
    }
}

}  // namespace

std::optional<int> TypeCPorts::portIndex(std::string_view name) {
    if (name.substr(0, 4) != "port" || name.size() == 4) return std::nullopt;
    int value = 0;
    auto [end, error] = std::from_chars(name.data() + 4, name.data() + name.size(), value);
    if (error != std::errc() || end != name.data() + name.size() || value < 0) return std::nullopt;
    return value;
}

std::string TypeCPorts::currentChoice(std::string_view attribute) {
    auto open = attribute.find('[');
    if (open != std::string_view::npos) {
        auto close = attribute.find(']', open);
        if (close != std::string_view::npos) return std::string(attribute.substr(open + 1, close - open - 1));
    }
    while (!attribute.empty() && (attribute.front() == ' ')) attribute.remove_prefix(1);
    while (!attribute.empty() && (attribute.back() == ' ' || attribute.back() == '\n')) attribute.remove_suffix(1);
    if (attribute.find(' ') != std::string_view::npos) return {};
    return std::string(attribute);
}

bool TypeCPorts::anyPort(const SysfsTree& tree) {
    for (const auto& name : tree.list(kTypeCClass))
        if (portIndex(name)) return true;
    return false;
}

std::vector<TypeCPort> TypeCPorts::read(const SysfsTree& tree) {
    std::vector<TypeCPort> ports;
    const auto names = tree.list(kTypeCClass);
    for (const auto& name : names) {
        auto index = portIndex(name);
        if (!index) continue;
        const std::string classPath = joinPath(kTypeCClass, name);
        TypeCPort port;
        port.index = *index;
        port.devpath = tree.link(classPath).value_or(classPath);
        port.powerRole = currentChoice(tree.attribute(joinPath(classPath, "power_role")).value_or(""));
        port.operationMode = tree.attribute(joinPath(classPath, "power_operation_mode")).value_or("");
        const std::string partner = name + "-partner";
        port.hasPartner = std::find(names.begin(), names.end(), partner) != names.end();
        ports.push_back(std::move(port));
    }
    std::sort(ports.begin(), ports.end(), [](const TypeCPort& a, const TypeCPort& b) { return a.index < b.index; });
    return ports;
}

std::optional<int> TypeCPorts::connectorIndex(const SysfsTree& tree, const std::string& usbPortDevpath) {
    auto target = tree.link(joinPath(usbPortDevpath, "connector"));
    if (!target) return std::nullopt;
    auto index = portIndex(baseName(*target));
    // A link left behind by a port that is gone names no port.
    if (!index || !tree.exists(*target)) return std::nullopt;
    return index;
}

PropertyArray TypeCPorts::powerOutDetails(const SysfsTree& tree) {
    PropertyArray details;
    for (const auto& port : read(tree)) {
        if (port.powerRole != "source" || !port.hasPartner) continue;
        PropertyDictionary entry;
        entry.emplace(keys::kPortIndex, PropertyValue::wholeNumber(port.index + 1));
        std::optional<std::int64_t> current;
        if (port.operationMode == "1.5A") current = 1500;
        if (port.operationMode == "3.0A") current = 3000;
        if (current) {
            entry.emplace(keys::kConfiguredVoltage, PropertyValue::wholeNumber(kTypeCVoltage));
            entry.emplace(keys::kConfiguredCurrent, PropertyValue::wholeNumber(*current));
        }
        addMeasurements(tree, port, entry);
        details.push_back(PropertyValue::dictionary(std::move(entry)));
    }
    return details;
}

}  // namespace ampwell::platform::linux_
