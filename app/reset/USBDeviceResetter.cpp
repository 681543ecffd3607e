#include "app/reset/USBDeviceResetter.hpp"

#include "app/model/SerialNumber.hpp"
#include "app/text/UnicodeText.hpp"
#include "platform/registry/RegistryNames.hpp"
#include "platform/registry/RegistryProperties.hpp"

#include <algorithm>
#include <cmath>

namespace ampwell {
namespace {

using platform::findProperty;
using platform::firstPresent;
using platform::integerValue;
using platform::numeric;
using platform::PropertyDictionary;
using platform::PropertyNumber;
using platform::PropertyValue;
using platform::RegistryEntry;
namespace keys = platform::keys;

constexpr std::int64_t kHubClass = 9;
constexpr std::int64_t kAppleVendorID = 1452;  // 0x05AC
// USB gives a device one of the addresses 1 to 127; a host numbers its buses from 1 and names them
// with one byte (/dev/bus/usb/001 to 255).
constexpr std::int64_t kHighestAddress = 127;
constexpr std::int64_t kHighestBus = 255;

// A bus number or address the registry gives must be one USB allows: any other names no device the
// host could open, and a reset asked for by it would reach nothing, or another device. Where the
// registry gives none, the host finds the device by other means.
bool reachableBy(const PropertyValue* value, std::int64_t highest) {
    if (value == nullptr) return true;
    const PropertyNumber* number = numeric(value);
    if (number == nullptr || !number->whole) return false;
    const std::int64_t whole = integerValue(*number);
    return whole >= 1 && whole <= highest;
}

// A session number as the registry gives it: any number whose unsigned 64-bit value is not zero,
// written in the number's own text. Real session numbers are whole and positive; the text keeps
// whatever the registry holds so that it compares equal with the session part of a connection
// identifier, which carries the same text.
std::optional<std::string> sessionText(const PropertyNumber& number) {
    if (!std::isfinite(number.value) || std::fabs(number.value) < 1.0) return std::nullopt;
    return number.text;
}

bool canonicallyEqual(const std::string& left, const std::string& right) {
    return left == right || canonicallyNormalized(left) == canonicallyNormalized(right);
}

}  // namespace

USBDeviceResetter::USBDeviceResetter(platform::Registry& registry, platform::UsbHost& usbHost)
    : registry_(registry), usbHost_(usbHost) {}

std::vector<USBResetTarget> USBDeviceResetter::availableTargets() const {
    auto targets = enumerateTargets();
    return targets ? std::move(targets).value() : std::vector<USBResetTarget>{};
}

platform::Result<std::vector<USBResetTarget>, ResetError> USBDeviceResetter::enumerateTargets() const {
    platform::ServiceMatch match = registry_.matchingServices(platform::classes::kUSBHostDevice);
    if (match.result != platform::kResultSuccess || !match.iterator)
        return platform::Failure{ResetError::enumerationFailed(
            match.result != platform::kResultSuccess ? match.result : platform::kResultError)};

    std::vector<USBResetTarget> targets;
    while (auto service = match.iterator->next()) {
        // A device that is built in or cannot be identified is simply not offered.
        if (auto described = target(*service)) targets.push_back(std::move(described).value());
    }
    std::stable_sort(targets.begin(), targets.end(), comesBefore);
    return targets;
}

platform::Result<USBResetTarget, ResetError> USBDeviceResetter::target(const RegistryEntry& service) const {
    using platform::Failure;
    if (!service.conformsTo(platform::classes::kUSBHostDevice) || !service.inPlane(platform::kServicePlane))
        return Failure{ResetError::unexpectedDevice()};
    const std::optional<PropertyDictionary> properties = service.properties();
    if (!properties) return Failure{ResetError::identityUnavailable()};
    if (isBuiltIn(findProperty(*properties, keys::kBuiltIn))) return Failure{ResetError::unexpectedDevice()};
    if (!reachableBy(findProperty(*properties, keys::kBusNumber), kHighestBus) ||
        !reachableBy(findProperty(*properties, keys::kAddress), kHighestAddress))
        return Failure{ResetError::identityUnavailable()};

    const PropertyValue* nameValue = firstPresent(*properties, keys::kProductName, keys::kProductNameFallback);
    const std::string* rawName = nameValue ? nameValue->stringValue() : nullptr;
    if (!rawName) return Failure{ResetError::identityUnavailable()};
    std::string name = trimmedWhitespaceAndNewlines(*rawName);
    if (name.empty()) return Failure{ResetError::identityUnavailable()};

    const PropertyNumber* session = numeric(findProperty(*properties, keys::kSessionID));
    std::optional<std::string> sessionID = session ? sessionText(*session) : std::nullopt;
    if (!sessionID) return Failure{ResetError::identityUnavailable()};

    const platform::EntryID registryID = service.entryID();
    if (registryID == 0) return Failure{ResetError::identityUnavailable()};

    const PropertyValue* serialValue = firstPresent(*properties, keys::kSerialNumber, keys::kSerialNumberFallback);
    const std::string* serial = serialValue ? serialValue->stringValue() : nullptr;

    std::optional<std::int64_t> vendorID;
    if (const PropertyNumber* vendor = numeric(findProperty(*properties, keys::kVendorID)))
        vendorID = integerValue(*vendor);

    return USBResetTarget{registryID,
                          std::move(name),
                          serial ? *serial : std::string(),
                          std::move(*sessionID),
                          vendorID,
                          isHub(service, *properties),
                          physicalPort(service)};
}

bool USBDeviceResetter::isHub(const RegistryEntry& service, const PropertyDictionary& info) {
    if (const PropertyNumber* deviceClass = numeric(findProperty(info, keys::kDeviceClass)))
        if (integerValue(*deviceClass) == kHubClass) return true;
    for (const auto& child : service.children(platform::kServicePlane)) {
        if (!child->conformsTo(platform::classes::kUSBHostInterface)) continue;
        const std::optional<PropertyDictionary> properties = child->properties();
        if (!properties) continue;
        if (const PropertyNumber* interfaceClass = numeric(findProperty(*properties, keys::kInterfaceClass)))
            if (integerValue(*interfaceClass) == kHubClass) return true;
    }
    return false;
}

std::optional<std::int64_t> USBDeviceResetter::physicalPort(const RegistryEntry& service) {
    return platform::portAbove(
        service, platform::kResetPortWalkLimit, [](const RegistryEntry& entry) -> std::optional<std::int64_t> {
            const std::optional<PropertyDictionary> properties = entry.properties();
            if (!properties) return std::nullopt;
            const PropertyValue* type = findProperty(*properties, keys::kParentPortType);
            const std::string* typeText = type ? type->stringValue() : nullptr;
            const PropertyNumber* number = numeric(findProperty(*properties, keys::kParentPortNumber));
            if (!typeText || !number) return std::nullopt;
            if (*typeText != platform::portTypes::kUSBC && *typeText != platform::portTypes::kUSBA) return std::nullopt;
            const std::int64_t port = integerValue(*number);
            if (port <= 0) return std::nullopt;
            return port;
        });
}

bool USBDeviceResetter::isBuiltIn(const PropertyValue* value) {
    if (!value) return false;
    if (std::optional<bool> flag = value->booleanValue()) return *flag;
    if (const PropertyNumber* number = value->number()) return number->value != 0;
    if (const platform::PropertyData* bytes = value->dataValue())
        return std::any_of(bytes->begin(), bytes->end(), [](std::uint8_t byte) { return byte != 0; });
    return false;
}

// Resetting.

ResetResult USBDeviceResetter::reset(const USBResetTarget& target) const {
    if (target.registryID == 0 || target.sessionID.empty() || target.productName.empty())
        return ResetResult::failure(ResetError::identityUnavailable());
    const std::unique_ptr<RegistryEntry> service = registry_.entry(target.registryID);
    if (!service) return ResetResult::failure(ResetError::deviceNotFound());
    if (auto changed = verify(*service, target)) return ResetResult::failure(std::move(*changed));

    platform::UsbHostOpenResult opened = usbHost_.open(*service);
    if (!opened.client) return ResetResult::failure(ResetError::cannotOpen(opened.error));
    // Opening takes time; the device may have been swapped meanwhile, and a swapped device must
    // never be reset. The client is destroyed (before the entry is released) on every path.
    if (auto changed = verify(*service, target)) return ResetResult::failure(std::move(*changed));
    if (std::optional<platform::UsbHostError> failure = opened.client->reset())
        return ResetResult::failure(ResetError::resetFailed(std::move(*failure)));
    return ResetResult::success();
}

std::optional<ResetError> USBDeviceResetter::verify(const RegistryEntry& service,
                                                    const USBResetTarget& expected) const {
    auto live = target(service);
    if (!live) return live.error();
    const USBResetTarget& fresh = *live;
    if (fresh.registryID != expected.registryID || !canonicallyEqual(fresh.sessionID, expected.sessionID) ||
        !canonicallyEqual(fresh.productName, expected.productName) || fresh.vendorID != expected.vendorID ||
        fresh.isHub != expected.isHub)
        return ResetError::changedConnection();
    if (!expected.serial.empty() && normalizedSerial(fresh.serial) != normalizedSerial(expected.serial))
        return ResetError::changedConnection();
    // A port learnt only now is no reason to refuse; a port that was known must still be the same.
    if (expected.port && fresh.port != expected.port) return ResetError::changedConnection();
    return std::nullopt;
}

ResetResult USBDeviceResetter::resetIPad(const std::string& serial,
                                         const std::optional<std::string>& expectedConnectionID) const {
    const std::string wanted = normalizedSerial(serial);
    // Dashes between blanks ("- -") leave blanks that the normalisation does not trim; such a
    // serial still names no device.
    if (trimmedWhitespaceAndNewlines(wanted).empty()) return ResetResult::failure(ResetError::invalidSerial());
    if (expectedConnectionID && expectedConnectionID->empty())
        return ResetResult::failure(ResetError::identityUnavailable());

    auto targets = enumerateTargets();
    if (!targets) return ResetResult::failure(targets.error());
    std::vector<USBResetTarget> matches = std::move(targets).value();
    std::erase_if(matches, [&](const USBResetTarget& t) { return normalizedSerial(t.serial) != wanted; });
    if (matches.empty()) return ResetResult::failure(ResetError::deviceNotFound());
    if (matches.size() > 1) return ResetResult::failure(ResetError::ambiguousDevice());

    const USBResetTarget& match = matches.front();
    if (lowercased(match.productName) != "ipad" || match.vendorID != kAppleVendorID)
        return ResetResult::failure(ResetError::unexpectedDevice());
    if (expectedConnectionID && *expectedConnectionID != match.sessionID)
        return ResetResult::failure(ResetError::changedConnection());
    return reset(match);
}

}  // namespace ampwell
