#include "app/batteries/MobileDeviceAPI.hpp"

#include "app/batteries/SupplyAccountParser.hpp"
#include "app/model/SerialNumber.hpp"
#include "app/text/UnicodeText.hpp"

#include <algorithm>
#include <cmath>
#include <map>

namespace ampwell {

using platform::MobileDeviceService;
using platform::PropertyValue;

namespace {

struct CodePointOrder {
    bool operator()(const std::string& a, const std::string& b) const { return compareCodePoints(a, b) < 0; }
};

}  // namespace

std::unique_ptr<MobileDeviceAPI> MobileDeviceAPI::load(MobileDeviceService& service, const platform::Clock& clock) {
    if (service.load() != MobileDeviceService::State::loaded) return nullptr;
    return std::make_unique<MobileDeviceAPI>(service, clock);
}

MobileDeviceAPI::MobileDeviceAPI(MobileDeviceService& service, const platform::Clock& clock)
    : service_(service), clock_(clock) {}

std::vector<DeviceBattery> MobileDeviceAPI::readAll(const std::set<std::string>& accountSerials) {
    auto list = service_.createDeviceList();
    if (!list) return {};
    // Serials are compared as text: two spellings of the same characters are one serial.
    std::map<std::string, DeviceBattery, CodePointOrder> bySerial;
    for (const auto& device : *list) {
        if (!device) continue;
        auto battery = read(*device, accountSerials);
        if (!battery) continue;
        bySerial.insert_or_assign(canonicallyNormalized(battery->serial), std::move(*battery));
    }
    std::vector<DeviceBattery> batteries;
    batteries.reserve(bySerial.size());
    for (auto& [serial, battery] : bySerial) batteries.push_back(std::move(battery));
    return batteries;
}

std::optional<std::string> MobileDeviceAPI::textValue(platform::MobileDevice& device, const char* key) {
    auto value = service_.copyValue(device, std::nullopt, std::string(key));
    if (!value || value->stringValue() == nullptr) return std::nullopt;
    return *value->stringValue();
}

std::optional<SupplyAccount> MobileDeviceAPI::readAccount(platform::MobileDevice& device) {
    for (const char* entry : supplyAccount::kEntries) {
        auto answer = service_.queryRegistryEntry(device, entry);
        if (!answer) continue;
        if (auto account = supplyAccount::parse(entry, *answer)) return account;
    }
    return std::nullopt;
}

std::optional<DeviceBattery> MobileDeviceAPI::read(platform::MobileDevice& device,
                                                  const std::set<std::string>& accountSerials) {
    if (auto type = service_.interfaceType(device); type && *type != kUSBInterface) return std::nullopt;

    std::string serial;
    if (auto usbSerial = service_.copyDeviceUSBSerialNumber(device); usbSerial && !usbSerial->empty())
        serial = std::move(*usbSerial);
    else if (auto identifier = service_.copyDeviceIdentifier(device); identifier && !identifier->empty())
        serial = std::move(*identifier);
    else
        return std::nullopt;

    if (service_.connect(device) != 0) return std::nullopt;

    DeviceBattery battery;
    battery.serial = std::move(serial);
    battery.deviceClass = textValue(device, "DeviceClass").value_or(kFallbackDeviceClass);
    battery.sampledAt = clock_.now();

    if (service_.isPaired(device) != 1 || service_.validatePairing(device) != 0 || service_.startSession(device) != 0) {
        service_.disconnect(device);
        return battery;
    }

    if (auto deviceClass = textValue(device, "DeviceClass")) battery.deviceClass = std::move(*deviceClass);

    const std::string domainName = kBatteryDomain;
    platform::PropertyDictionary domain;
    if (auto value = service_.copyValue(device, domainName, std::nullopt); value && value->dictionaryValue())
        domain = *value->dictionaryValue();
    auto entry = [&](const char* key) -> std::optional<PropertyValue> {
        if (auto found = domain.find(key); found != domain.end()) return found->second;
        return service_.copyValue(device, domainName, std::string(key));
    };
    const auto capacity = entry("BatteryCurrentCapacity");
    const auto charging = entry("BatteryIsCharging");
    const auto external = entry("ExternalConnected");
    battery.percent = percent(capacity);
    battery.isCharging = boolean(charging);
    battery.externalConnected = boolean(external);
    if (!accountSerials.empty() && accountSerials.contains(normalizedSerial(battery.serial)))
        battery.account = readAccount(device);
    battery.sampledAt = clock_.now();

    service_.stopSession(device);
    service_.disconnect(device);
    return battery;
}

std::optional<int> MobileDeviceAPI::percent(const std::optional<PropertyValue>& value) {
    if (!value) return std::nullopt;
    const auto* n = value->number();
    if (n == nullptr || !std::isfinite(n->value) || std::trunc(n->value) != n->value) return std::nullopt;
    if (n->value < 0 || n->value > 100) return std::nullopt;
    return static_cast<int>(n->value);
}

std::optional<bool> MobileDeviceAPI::boolean(const std::optional<PropertyValue>& value) {
    if (!value) return std::nullopt;
    if (auto b = value->booleanValue()) return *b;
    if (const auto* n = value->number()) {
        if (n->value == 0) return false;
        if (n->value == 1) return true;
    }
    return std::nullopt;
}

}  // namespace ampwell
