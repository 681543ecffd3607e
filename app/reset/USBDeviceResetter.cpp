#include "app/reset/USBDeviceResetter.hpp"

#include "app/batteries/DeviceBattery.hpp"
#include "app/text/UnicodeText.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

namespace ampwell {
namespace {

using platform::PropertyDictionary;
using platform::PropertyNumber;
using platform::PropertyValue;
using platform::RegistryEntry;

constexpr const char* kDeviceClass = "IOUSBHostDevice";
constexpr const char* kInterfaceClass = "IOUSBHostInterface";
constexpr std::int64_t kHubClass = 9;
constexpr std::int64_t kAppleVendorID = 1452;  // 0x05AC
// How far up the port plane a device's physical port is looked for.
constexpr int kMaxPortAncestors = 16;

const PropertyValue* lookup(const PropertyDictionary& properties, const std::string& key) {
    auto found = properties.find(key);
    return found == properties.end() ? nullptr : &found->second;
}

// The first key that is present decides, even when its value is of the wrong kind.
const PropertyValue* firstPresent(const PropertyDictionary& properties, const char* key, const char* fallback) {
    if (const PropertyValue* value = lookup(properties, key)) return value;
    return lookup(properties, fallback);
}

template <typename Integer>
std::optional<Integer> parseInteger(const std::string& text) {
    Integer value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The number as a signed integer, the fraction cut off. A whole number keeps every digit (its own
// text is exact where a double is not); a value out of range saturates instead of overflowing.
std::int64_t integerValue(const PropertyNumber& number) {
    if (number.whole) {
        if (auto exact = parseInteger<std::int64_t>(number.text)) return *exact;
        if (auto large = parseInteger<std::uint64_t>(number.text)) return static_cast<std::int64_t>(*large);
    }
    if (std::isnan(number.value)) return 0;
    constexpr double kLimit = 9223372036854775808.0;  // 2^63
    if (number.value >= kLimit) return std::numeric_limits<std::int64_t>::max();
    if (number.value < -kLimit) return std::numeric_limits<std::int64_t>::min();
    return static_cast<std::int64_t>(std::trunc(number.value));
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
    try {
        return enumerateTargets();
    } catch (const ResetError&) {
        return {};
    }
}

std::vector<USBResetTarget> USBDeviceResetter::enumerateTargets() const {
    platform::ServiceMatch match = registry_.matchingServices(kDeviceClass);
    if (match.result != platform::kResultSuccess || !match.iterator)
        throw ResetError::enumerationFailed(
            match.result != platform::kResultSuccess ? match.result : platform::kResultError);

    std::vector<USBResetTarget> targets;
    while (auto service = match.iterator->next()) {
        try {
            targets.push_back(target(*service));
        } catch (const ResetError&) {
            // A device that is built in or cannot be identified is simply not offered.
        }
    }
    std::stable_sort(targets.begin(), targets.end(), comesBefore);
    return targets;
}

USBResetTarget USBDeviceResetter::target(const RegistryEntry& service) const {
    if (!service.conformsTo(kDeviceClass) || !service.inPlane(platform::kServicePlane))
        throw ResetError::unexpectedDevice();
    const std::optional<PropertyDictionary> properties = service.properties();
    if (!properties) throw ResetError::identityUnavailable();
    if (isBuiltIn(lookup(*properties, "built-in"))) throw ResetError::unexpectedDevice();

    const PropertyValue* nameValue = firstPresent(*properties, "USB Product Name", "kUSBProductString");
    const std::string* rawName = nameValue ? nameValue->stringValue() : nullptr;
    if (!rawName) throw ResetError::identityUnavailable();
    std::string name = trimmedWhitespaceAndNewlines(*rawName);
    if (name.empty()) throw ResetError::identityUnavailable();

    const PropertyNumber* session = numeric(lookup(*properties, "sessionID"));
    std::optional<std::string> sessionID = session ? sessionText(*session) : std::nullopt;
    if (!sessionID) throw ResetError::identityUnavailable();

    const platform::EntryID registryID = service.entryID();
    if (registryID == 0) throw ResetError::identityUnavailable();

    const PropertyValue* serialValue = firstPresent(*properties, "USB Serial Number", "kUSBSerialNumberString");
    const std::string* serial = serialValue ? serialValue->stringValue() : nullptr;

    std::optional<std::int64_t> vendorID;
    if (const PropertyNumber* vendor = numeric(lookup(*properties, "idVendor"))) vendorID = integerValue(*vendor);

    return USBResetTarget{registryID,
                          std::move(name),
                          serial ? *serial : std::string(),
                          std::move(*sessionID),
                          vendorID,
                          isHub(service, *properties),
                          physicalPort(service)};
}

bool USBDeviceResetter::isHub(const RegistryEntry& service, const PropertyDictionary& info) {
    if (const PropertyNumber* deviceClass = numeric(lookup(info, "bDeviceClass")))
        if (integerValue(*deviceClass) == kHubClass) return true;
    for (const auto& child : service.children(platform::kServicePlane)) {
        if (!child->conformsTo(kInterfaceClass)) continue;
        const std::optional<PropertyDictionary> properties = child->properties();
        if (!properties) continue;
        if (const PropertyNumber* interfaceClass = numeric(lookup(*properties, "bInterfaceClass")))
            if (integerValue(*interfaceClass) == kHubClass) return true;
    }
    return false;
}

std::optional<std::int64_t> USBDeviceResetter::physicalPort(const RegistryEntry& service) {
    std::unique_ptr<RegistryEntry> entry = service.parent(platform::kPortPlane);
    for (int examined = 0; entry && examined < kMaxPortAncestors; ++examined) {
        if (const std::optional<PropertyDictionary> properties = entry->properties()) {
            const PropertyValue* type = lookup(*properties, "ParentPortTypeDescription");
            const std::string* typeText = type ? type->stringValue() : nullptr;
            const PropertyNumber* number = numeric(lookup(*properties, "ParentPortNumber"));
            if (typeText && (*typeText == "USB-C" || *typeText == "USB-A") && number) {
                const std::int64_t port = integerValue(*number);
                if (port > 0) return port;
            }
        }
        entry = entry->parent(platform::kPortPlane);
    }
    return std::nullopt;
}

bool USBDeviceResetter::isBuiltIn(const PropertyValue* value) {
    if (!value) return false;
    if (std::optional<bool> flag = value->booleanValue()) return *flag;
    if (const PropertyNumber* number = value->number()) return number->value != 0;
    if (const platform::PropertyData* bytes = value->dataValue())
        return std::any_of(bytes->begin(), bytes->end(), [](std::uint8_t byte) { return byte != 0; });
    return false;
}

const PropertyNumber* USBDeviceResetter::numeric(const PropertyValue* value) {
    return value ? value->number() : nullptr;
}

// Resetting.

ResetResult USBDeviceResetter::reset(const USBResetTarget& target) const {
    try {
        performReset(target);
        return ResetResult::success();
    } catch (const ResetError& error) {
        return ResetResult::failure(error);
    }
}

void USBDeviceResetter::performReset(const USBResetTarget& target) const {
    if (target.registryID == 0 || target.sessionID.empty() || target.productName.empty())
        throw ResetError::identityUnavailable();
    const std::unique_ptr<RegistryEntry> service = registry_.entry(target.registryID);
    if (!service) throw ResetError::deviceNotFound();
    verify(*service, target);

    platform::UsbHostOpenResult opened = usbHost_.open(*service);
    if (!opened.client) throw ResetError::cannotOpen(opened.error);
    // Opening takes time; the device may have been swapped meanwhile, and a swapped device must
    // never be reset. The client is destroyed (before the entry is released) on every path.
    verify(*service, target);
    if (std::optional<platform::UsbHostError> failure = opened.client->reset())
        throw ResetError::resetFailed(std::move(*failure));
}

void USBDeviceResetter::verify(const RegistryEntry& service, const USBResetTarget& expected) const {
    const USBResetTarget fresh = target(service);
    if (fresh.registryID != expected.registryID || !canonicallyEqual(fresh.sessionID, expected.sessionID) ||
        !canonicallyEqual(fresh.productName, expected.productName) || fresh.vendorID != expected.vendorID ||
        fresh.isHub != expected.isHub)
        throw ResetError::changedConnection();
    if (!expected.serial.empty() && normalizedSerial(fresh.serial) != normalizedSerial(expected.serial))
        throw ResetError::changedConnection();
    // A port learnt only now is no reason to refuse; a port that was known must still be the same.
    if (expected.port && fresh.port != expected.port) throw ResetError::changedConnection();
}

ResetResult USBDeviceResetter::resetIPad(const std::string& serial,
                                         const std::optional<std::string>& expectedConnectionID) const {
    try {
        const std::string wanted = normalizedSerial(serial);
        // Dashes between blanks ("- -") leave blanks that the normalisation does not trim; such a
        // serial still names no device.
        if (trimmedWhitespaceAndNewlines(wanted).empty()) throw ResetError::invalidSerial();
        if (expectedConnectionID && expectedConnectionID->empty()) throw ResetError::identityUnavailable();

        std::vector<USBResetTarget> matches = enumerateTargets();
        std::erase_if(matches, [&](const USBResetTarget& t) { return normalizedSerial(t.serial) != wanted; });
        if (matches.empty()) throw ResetError::deviceNotFound();
        if (matches.size() > 1) throw ResetError::ambiguousDevice();

        const USBResetTarget& match = matches.front();
        if (lowercased(match.productName) != "ipad" || match.vendorID != kAppleVendorID)
            throw ResetError::unexpectedDevice();
        if (expectedConnectionID && *expectedConnectionID != match.sessionID) throw ResetError::changedConnection();
        performReset(match);
        return ResetResult::success();
    } catch (const ResetError& error) {
        return ResetResult::failure(error);
    }
}

}  // namespace ampwell
