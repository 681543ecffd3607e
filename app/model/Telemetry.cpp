#include "app/model/Telemetry.hpp"

#include "platform/registry/RegistryNames.hpp"
#include "platform/registry/RegistryProperties.hpp"

#include <fmt/format.h>
#include <algorithm>

#include <cmath>
#include <cstdint>
#include <set>

namespace ampwell {

using platform::PropertyDictionary;
using platform::PropertyValue;

Telemetry::Telemetry(platform::Registry& registry, const platform::Clock& clock, const BootIdentity& bootIdentity)
    : registry_(registry), clock_(clock), bootIdentity_(bootIdentity) {}

std::optional<double> Telemetry::number(const PropertyValue* value) { return platform::measurement(value); }

std::optional<double> Telemetry::number(const std::optional<PropertyValue>& value) {
    return value ? number(&*value) : std::nullopt;
}

std::optional<platform::Date> Telemetry::powerDataTimestamp(const PropertyDictionary& props, platform::Date now) {
    static const char* const keys[] = {platform::keys::kUpdateTime, platform::keys::kUserVisiblePathUpdated,
                                       platform::keys::kFullPathUpdated, platform::keys::kBootPathUpdated};
    const double latestAcceptable = platform::secondsSince1970(now) + 5.0;
    std::optional<double> newest;
    for (const char* key : keys) {
        auto value = number(platform::findProperty(props, key));
        if (!value || !(*value > 0) || *value > latestAcceptable) continue;
        if (!newest || *value > *newest) newest = value;
    }
    if (!newest) return std::nullopt;
    return platform::dateFromSecondsSince1970(*newest);
}

namespace {

// A list whose every element is a dictionary; nullptr for anything else.
const platform::PropertyArray* listOfDictionaries(const PropertyDictionary& dictionary, const char* key) {
    const PropertyValue* value = platform::findProperty(dictionary, key);
    if (value == nullptr || value->arrayValue() == nullptr) return nullptr;
    for (const auto& item : *value->arrayValue())
        if (item.dictionaryValue() == nullptr) return nullptr;
    return value->arrayValue();
}

std::optional<int> toPortNumber(std::int64_t value) {
    if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
    return static_cast<int>(value);
}

bool isPortEntryOfType(const platform::RegistryEntry& entry, const char* portType) {
    auto type = entry.property(platform::keys::kParentPortType);
    return type && type->stringValue() != nullptr && *type->stringValue() == portType;
}

bool isUSBCPortEntry(const platform::RegistryEntry& entry) {
    return isPortEntryOfType(entry, platform::portTypes::kUSBC);
}

struct PlainPort {
    int key;
    std::string name;
};

// The plain USB port above a device that sits on no USB-C port: a port of the computer whose
// connector it does not name. Its key is moved past the USB-C port numbers; its name is the
// computer's name for it ("USB 1-2"), or its number.
std::optional<PlainPort> plainPortAbove(const platform::RegistryEntry& device) {
    std::string name;
    const auto port = platform::portAbove(
        device, platform::kTelemetryPortWalkLimit,
        [&name](const platform::RegistryEntry& entry) -> std::optional<std::int64_t> {
            if (!isPortEntryOfType(entry, platform::portTypes::kUSB)) return std::nullopt;
            const auto number = platform::anyNumberAsInteger(entry.property(platform::keys::kParentPortNumber));
            if (!number || *number < 0 || *number > INT32_MAX - PortReading::kPlainPortBase) return std::nullopt;
            const auto portName = entry.property(platform::keys::kPortName);
            name = portName && portName->stringValue() != nullptr && !portName->stringValue()->empty()
                       ? *portName->stringValue()
                       : std::to_string(*number);
            return *number;
        });
    if (!port) return std::nullopt;
    return PlainPort{PortReading::kPlainPortBase + static_cast<int>(*port), "USB " + name};
}

// The USB-C port number above a device in the IOPort plane, if the walk finds one in time. A port
// number here is any number truncated toward zero; unlike everywhere else, a boolean counts too (as
// 0 or 1), since the walk accepts whatever the registry numbers.
std::optional<int> usbCPortAbove(const platform::RegistryEntry& device) {
    const auto port = platform::portAbove(
        device, platform::kTelemetryPortWalkLimit,
        [](const platform::RegistryEntry& entry) -> std::optional<std::int64_t> {
            if (!isUSBCPortEntry(entry)) return std::nullopt;
            const auto number = platform::anyNumberAsInteger(entry.property(platform::keys::kParentPortNumber));
            if (!number || !toPortNumber(*number)) return std::nullopt;
            return *number;
        });
    if (!port) return std::nullopt;
    return static_cast<int>(*port);
}

PortReading readingWithoutMeasurements(int port, const std::vector<ConnectedDevice>& connections) {
    PortReading reading;
    reading.port = port;
    reading.connections = connections;
    reading.devices = deviceNames(connections);
    return reading;
}

void sortByPort(std::vector<PortReading>& readings) {
    std::stable_sort(readings.begin(), readings.end(),
                     [](const PortReading& a, const PortReading& b) { return a.port < b.port; });
}

Snapshot unavailableSnapshot(std::string sampledAt, const Telemetry::DeviceMap& devices, const std::string& message) {
    Snapshot snapshot;
    snapshot.sampledAt = std::move(sampledAt);
    for (const auto& [port, connections] : devices) snapshot.ports.push_back(readingWithoutMeasurements(port, connections));
    sortByPort(snapshot.ports);
    snapshot.error = message;
    return snapshot;
}

struct PartnerTriple {
    int port;
    double vendor;
    double product;
};

}  // namespace

platform::PropertyDictionary Telemetry::properties(const platform::RegistryEntry& entry) {
    auto props = entry.properties();
    return props ? std::move(*props) : PropertyDictionary{};
}

Telemetry::DeviceMap Telemetry::connectedDevices() const {
    DeviceMap devices;
    plainPortNames_.clear();
    auto match = registry_.matchingServices(platform::classes::kUSBHostDevice);
    if (match.result != platform::kResultSuccess || !match.iterator) return devices;
    while (auto device = match.iterator->next()) {
        auto name =
            platform::firstPresentString(*device, platform::keys::kProductName, platform::keys::kProductNameFallback);
        if (!name) continue;
        auto port = usbCPortAbove(*device);
        if (!port) {
            if (auto plain = plainPortAbove(*device)) {
                port = plain->key;
                plainPortNames_.insert_or_assign(plain->key, std::move(plain->name));
            }
        }
        if (!port) continue;
        std::string serial =
            platform::firstPresentString(*device, platform::keys::kSerialNumber, platform::keys::kSerialNumberFallback)
                .value_or("");
        std::string connectionID;
        auto session = device->property(platform::keys::kSessionID);
        if (session && session->number() != nullptr)
            connectionID = bootIdentity_.text() + ":" + session->number()->text;
        devices[*port].push_back(ConnectedDevice{std::move(*name), std::move(serial), std::move(connectionID)});
    }
    return devices;
}

std::map<int, int> Telemetry::reportedBatteryLevels(const PropertyDictionary& props) const {
    std::map<int, int> levels;
    const auto* fed = listOfDictionaries(props, platform::keys::kFedDetails);
    if (fed == nullptr) return levels;
    auto match = registry_.matchingServices(platform::classes::kPDPartnerComponent);
    if (match.result != platform::kResultSuccess || !match.iterator) return levels;

    std::vector<PartnerTriple> triples;
    while (auto component = match.iterator->next()) {
        if (!isUSBCPortEntry(*component)) continue;
        auto portNumber = number(component->property(platform::keys::kParentPortNumber));
        if (!portNumber || *portNumber >= 2147483648.0) continue;
        auto metadataValue = component->property(platform::keys::kMetadata);
        const PropertyDictionary empty;
        const PropertyDictionary& metadata =
            metadataValue && metadataValue->dictionaryValue() ? *metadataValue->dictionaryValue() : empty;
        auto vendor = number(platform::findProperty(metadata, platform::keys::kMetadataVendorID));
        auto product = number(platform::findProperty(metadata, platform::keys::kMetadataProductID));
        if (!vendor || !product) continue;
        triples.push_back(PartnerTriple{static_cast<int>(*portNumber), *vendor, *product});
    }

    for (std::size_t i = 0; i < triples.size(); ++i) {
        const auto& triple = triples[i];
        const bool ambiguous = std::any_of(triples.begin(), triples.end(), [&](const PartnerTriple& other) {
            return &other != &triple && other.vendor == triple.vendor && other.product == triple.product;
        });
        if (ambiguous) continue;
        const PropertyDictionary* matched = nullptr;
        int matches = 0;
        for (const auto& entry : *fed) {
            const auto& details = *entry.dictionaryValue();
            if (number(platform::findProperty(details, platform::keys::kFedVendorID)) == triple.vendor &&
                number(platform::findProperty(details, platform::keys::kFedProductID)) == triple.product) {
                matched = &details;
                ++matches;
            }
        }
        if (matches != 1) continue;
        auto percent = number(platform::findProperty(*matched, platform::keys::kFedStateOfCharge));
        if (!percent || *percent > 100) continue;
        auto remaining = number(platform::findProperty(*matched, platform::keys::kFedRemainingCapacity));
        if (!remaining || *remaining == 65535) continue;
        auto design = number(platform::findProperty(*matched, platform::keys::kFedDesignCapacity));
        if (!design || !(*design > 0) || *remaining > *design) continue;
        if (std::fabs(*remaining / *design * 100.0 - *percent) > 2.0) continue;
        levels[triple.port] = static_cast<int>(*percent);
    }
    return levels;
}

std::string Telemetry::noPowerServiceMessage(const std::string& noun) {
    const bool latin = !noun.empty() && static_cast<unsigned char>(noun.front()) < 0x80;
    const std::string spaced = latin ? " " + noun + " " : noun;
    // i18n: composed: the catalog translates the whole sentences kNoPowerServiceMessage and
    // kNoComputerPowerServiceMessage.
    return fmt::format("这台{}未提供 USB 输出功率信息", spaced);
}

Snapshot Telemetry::read() const { return read(connectedDevices()); }

Snapshot Telemetry::read(const DeviceMap& devices) const {
    Snapshot snapshot = readPorts(devices);
    if (plainPortNames_.empty()) return snapshot;
    for (PortReading& reading : snapshot.ports) {
        if (!reading.connections.empty() && plainPortNames_.contains(reading.port))
            reading.name = plainPortNames_.at(reading.port);
    }
    return snapshot;
}

Snapshot Telemetry::readPorts(const DeviceMap& devices) const {
    std::string sampledAt = iso8601(clock_.now());

    auto battery = registry_.firstMatchingService(platform::classes::kSmartBattery);
    if (!battery) {
        return unavailableSnapshot(std::move(sampledAt), devices, noPowerServiceMessage(registry_.machineNoun()));
    }
    const PropertyDictionary props = properties(*battery);
    battery.reset();
    const auto levels = reportedBatteryLevels(props);

    const auto* details = props.empty() ? nullptr : listOfDictionaries(props, platform::keys::kPowerOutDetails);
    if (details == nullptr) return unavailableSnapshot(std::move(sampledAt), devices, kNoPortReadingsMessage);

    Snapshot snapshot;
    snapshot.sampledAt = std::move(sampledAt);
    std::set<int> portsRead;
    for (const auto& item : *details) {
        const auto& entry = *item.dictionaryValue();
        auto index = number(platform::findProperty(entry, platform::keys::kPortIndex));
        if (!index || !(*index > 0) || *index >= 2147483648.0) continue;
        const int port = static_cast<int>(*index);

        PortReading reading;
        reading.port = port;
        auto millivolts = number(platform::findProperty(entry, platform::keys::kAdapterVoltage));
        auto milliamps = number(platform::findProperty(entry, platform::keys::kCurrent));
        if (millivolts) reading.volts = *millivolts / 1000.0;
        if (milliamps) reading.amps = *milliamps / 1000.0;
        if (auto milliwatts = number(platform::findProperty(entry, platform::keys::kWatts)))
            reading.watts = *milliwatts / 1000.0;
        else if (reading.volts && reading.amps) reading.watts = *reading.volts * *reading.amps;
        auto configuredVoltage = number(platform::findProperty(entry, platform::keys::kConfiguredVoltage));
        auto configuredCurrent = number(platform::findProperty(entry, platform::keys::kConfiguredCurrent));
        if (configuredVoltage && configuredCurrent)
            reading.configuredWatts = *configuredVoltage * *configuredCurrent / 1000000.0;
        if (auto found = devices.find(port); found != devices.end()) reading.connections = found->second;
        reading.devices = deviceNames(reading.connections);
        if (auto level = levels.find(port); level != levels.end()) reading.reportedBatteryPercent = level->second;
        snapshot.ports.push_back(std::move(reading));
        portsRead.insert(port);
    }
    for (const auto& [port, connections] : devices)
        if (!portsRead.count(port)) snapshot.ports.push_back(readingWithoutMeasurements(port, connections));
    sortByPort(snapshot.ports);

    snapshot.powerDataUpdatedAt = powerDataTimestamp(props, clock_.now());
    if (snapshot.ports.empty()) snapshot.error = kNoReadablePortMessage;
    return snapshot;
}

}  // namespace ampwell
