#include "platform/linux/UsbDeviceRecord.hpp"

#include "platform/registry/RegistryNames.hpp"

#include <algorithm>
#include <charconv>
#include <map>

namespace ampwell::platform::linux_ {

namespace {

constexpr std::uint64_t kHubClass = 9;

std::optional<std::uint64_t> parseNumber(std::string_view text, int base) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\n')) text.remove_suffix(1);
    if (base == 16 && text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) text.remove_prefix(2);
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The numbers of a USB device name, for ordering: "usb2" → {2}, "2-1.10" → {2, 1, 10}.
std::vector<std::uint64_t> nameNumbers(std::string_view name) {
    std::vector<std::uint64_t> numbers;
    if (name.substr(0, 3) == "usb") {
        name.remove_prefix(3);
        numbers.push_back(parseDecimal(name).value_or(0));
        return numbers;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("-.", start);
        if (end == std::string_view::npos) end = name.size();
        numbers.push_back(parseDecimal(name.substr(start, end - start)).value_or(0));
        start = end + 1;
    }
    return numbers;
}

// "1-1:1.0" → {1, 0}: configuration, then interface number.
std::pair<std::uint64_t, std::uint64_t> interfaceOrder(std::string_view name) {
    auto colon = name.rfind(':');
    std::string_view rest = colon == std::string_view::npos ? name : name.substr(colon + 1);
    auto dot = rest.find('.');
    if (dot == std::string_view::npos) return {parseDecimal(rest).value_or(0), 0};
    return {parseDecimal(rest.substr(0, dot)).value_or(0), parseDecimal(rest.substr(dot + 1)).value_or(0)};
}

std::optional<std::uint64_t> decimal(const std::optional<std::string>& text) {
    return text ? parseDecimal(*text) : std::nullopt;
}

std::optional<std::uint64_t> hexadecimal(const std::optional<std::string>& text) {
    return text ? parseHexadecimal(*text) : std::nullopt;
}

// A device's own string (product, maker, serial). One that is empty or only blanks names nothing,
// so it is left out as if the device had none: a blank name would otherwise stand in the menu.
void putString(PropertyDictionary& properties, const char* key, const std::optional<std::string>& value) {
    if (!value || value->find_first_not_of(" \t\n\r\v\f") == std::string::npos) return;
    properties.insert_or_assign(key, PropertyValue::string(*value));
}

void putNumber(PropertyDictionary& properties, const char* key, const std::optional<std::uint64_t>& value) {
    if (value) properties.insert_or_assign(key, PropertyValue::unsignedNumber(*value));
}

}  // namespace

std::optional<std::uint64_t> parseHexadecimal(std::string_view text) { return parseNumber(text, 16); }
std::optional<std::uint64_t> parseDecimal(std::string_view text) { return parseNumber(text, 10); }

bool usbNameBefore(std::string_view left, std::string_view right) {
    const auto a = nameNumbers(left);
    const auto b = nameNumbers(right);
    if (a.front() != b.front()) return a.front() < b.front();
    const bool leftRoot = left.substr(0, 3) == "usb";
    const bool rightRoot = right.substr(0, 3) == "usb";
    if (leftRoot != rightRoot) return leftRoot;
    if (a != b) return a < b;
    return left < right;
}

std::uint64_t fallbackSessionID(std::uint64_t busNumber, std::uint64_t address, std::uint64_t inode) {
    // Bus numbers stay far below 2^14 and addresses below 128, so the result stays below 2^53
    // and keeps its exact value even where it is handled as a double.
    const std::uint64_t value = (((busNumber & 0x3FFF) * 128 + (address & 0x7F)) << 32) | (inode & 0xFFFFFFFFu);
    return value == 0 ? 1 : value;
}

UsbDeviceRecord UsbDeviceRecord::read(const SysfsTree& tree, const UdevProperties& udev, const std::string& name,
                                      const std::string& devpath, const FileIdentity& identity,
                                      const UsbDeviceRecord* previous, const std::function<EntryID()>& newID) {
    UsbDeviceRecord record;
    record.name = name;
    record.devpath = devpath;
    record.identity = identity;
    record.rootHub = name.rfind("usb", 0) == 0;

    auto attribute = [&](const char* key) { return tree.attribute(joinPath(devpath, key)); };
    const auto busNumber = decimal(attribute("busnum"));
    const auto address = decimal(attribute("devnum"));

    std::optional<std::uint64_t> session = decimal(udev.value(devpath, "USEC_INITIALIZED"));
    if (!session || *session == 0) session = fallbackSessionID(busNumber.value_or(0), address.value_or(0), identity.inode);
    record.sessionID = *session;

    if (!record.rootHub) record.portDevpath = tree.link(joinPath(devpath, "port"));

    const bool sameAttachment = previous != nullptr && previous->devpath == devpath &&
                                previous->sessionID == record.sessionID;
    record.id = sameAttachment ? previous->id : newID();

    auto& props = record.properties;
    putString(props, keys::kProductName, attribute("product"));
    putString(props, keys::kVendorName, attribute("manufacturer"));
    putString(props, keys::kSerialNumber, attribute("serial"));
    putNumber(props, keys::kVendorID, hexadecimal(attribute("idVendor")));
    putNumber(props, keys::kProductID, hexadecimal(attribute("idProduct")));
    putNumber(props, keys::kDeviceClass, hexadecimal(attribute("bDeviceClass")));
    putNumber(props, keys::kAddress, address);
    putNumber(props, keys::kBusNumber, busNumber);
    props.insert_or_assign(keys::kSessionID, PropertyValue::unsignedNumber(record.sessionID));

    const auto removable = attribute("removable");
    const auto connectType =
        record.portDevpath ? tree.attribute(joinPath(*record.portDevpath, "connect_type")) : std::nullopt;
    const bool builtIn = record.rootHub || removable == "fixed" || connectType == "hardwired";
    props.insert_or_assign(keys::kBuiltIn,
                           PropertyValue::data(PropertyData{static_cast<std::uint8_t>(builtIn ? 1 : 0)}));

    // Interfaces are the subdirectories "<name>:<configuration>.<interface>"; a hub's ports sit
    // inside its interfaces as "<name>-port<N>".
    std::map<std::string, EntryID> previousIDs;
    if (sameAttachment) {
        for (const auto& i : previous->interfaces) previousIDs.emplace(i.devpath, i.id);
        for (const auto& p : previous->ports) previousIDs.emplace(p.devpath, p.id);
    }
    auto idFor = [&](const std::string& path) {
        auto found = previousIDs.find(path);
        return found != previousIDs.end() ? found->second : newID();
    };

    std::vector<std::string> interfaceNames;
    // A root hub "usbN" names its interfaces "N-0:1.0".
    const std::string interfacePrefix = record.rootHub ? name.substr(3) + "-0:" : name + ":";
    for (auto& entry : tree.list(devpath))
        if (entry.rfind(interfacePrefix, 0) == 0) interfaceNames.push_back(std::move(entry));
    std::sort(interfaceNames.begin(), interfaceNames.end(),
              [](const std::string& a, const std::string& b) { return interfaceOrder(a) < interfaceOrder(b); });

    bool hubInterface = false;
    const std::string portPrefix = name + "-port";
    std::vector<std::pair<std::uint64_t, std::string>> portPaths;
    for (const auto& interfaceName : interfaceNames) {
        UsbInterfaceRecord interface;
        interface.devpath = joinPath(devpath, interfaceName);
        auto interfaceAttribute = [&](const char* key) {
            return hexadecimal(tree.attribute(joinPath(interface.devpath, key)));
        };
        const auto interfaceClass = interfaceAttribute("bInterfaceClass");
        putNumber(interface.properties, keys::kInterfaceClass, interfaceClass);
        putNumber(interface.properties, "bInterfaceSubClass", interfaceAttribute("bInterfaceSubClass"));
        putNumber(interface.properties, "bInterfaceProtocol", interfaceAttribute("bInterfaceProtocol"));
        putNumber(interface.properties, "bInterfaceNumber", interfaceAttribute("bInterfaceNumber"));
        interface.id = idFor(interface.devpath);
        if (interfaceClass == kHubClass) hubInterface = true;
        for (const auto& entry : tree.list(interface.devpath)) {
            if (entry.rfind(portPrefix, 0) != 0) continue;
            auto number = parseDecimal(std::string_view(entry).substr(portPrefix.size()));
            if (number) portPaths.emplace_back(*number, joinPath(interface.devpath, entry));
        }
        record.interfaces.push_back(std::move(interface));
    }
    std::sort(portPaths.begin(), portPaths.end());
    for (auto& [number, path] : portPaths) record.ports.push_back(UsbPortRecord{idFor(path), std::move(path)});

    const bool configured = attribute("bConfigurationValue").value_or("").size() > 0;
    record.complete = !(configured && record.interfaces.empty()) && !(hubInterface && record.ports.empty()) &&
                      (record.rootHub || record.portDevpath.has_value());
    return record;
}

}  // namespace ampwell::platform::linux_
