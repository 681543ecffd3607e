#include "app/batteries/USBBatterySessions.hpp"

#include "platform/registry/RegistryNames.hpp"

#include <cmath>
#include <optional>

namespace ampwell {

USBBatterySessions::USBBatterySessions(platform::Registry& registry) : registry_(registry) {}

namespace {

std::optional<std::string> firstUsableSerial(const platform::RegistryEntry& entry) {
    for (const char* key : {platform::keys::kSerialNumber, platform::keys::kSerialNumberFallback}) {
        auto value = entry.property(key);
        if (!value || value->stringValue() == nullptr) continue;
        std::string normalized = normalizedSerial(*value->stringValue());
        if (!normalized.empty()) return normalized;
    }
    return std::nullopt;
}

// A session counts only as a positive, finite, whole number that is not a boolean.
std::optional<std::string> sessionOf(const platform::RegistryEntry& entry) {
    auto value = entry.property(platform::keys::kSessionID);
    if (!value) return std::nullopt;
    const auto* n = value->number();
    if (n == nullptr || !std::isfinite(n->value) || !(n->value > 0) || !n->whole) return std::nullopt;
    return n->text;
}

}  // namespace

USBBatterySessions::SessionMap USBBatterySessions::current() const {
    auto match = registry_.matchingServices(platform::classes::kUSBHostDevice);
    if (match.result != platform::kResultSuccess || !match.iterator) return {};
    std::map<std::string, std::vector<std::optional<std::string>>> seen;
    while (auto entry = match.iterator->next()) {
        auto serial = firstUsableSerial(*entry);
        if (!serial) continue;
        seen[*serial].push_back(sessionOf(*entry));
    }
    if (!match.iterator->isValid()) return {};
    SessionMap sessions;
    for (auto& [serial, list] : seen)
        if (list.size() == 1 && list.front()) sessions.emplace(serial, *list.front());
    return sessions;
}

std::vector<DeviceBattery> USBBatterySessions::stamp(const std::vector<DeviceBattery>& batteries,
                                                     const SessionMap& before, const SessionMap& after) {
    std::vector<DeviceBattery> stamped;
    for (const auto& battery : batteries) {
        const std::string key = normalizedSerial(battery.serial);
        auto was = before.find(key);
        auto is = after.find(key);
        if (was == before.end() || was->second.empty() || is == after.end() || is->second != was->second) continue;
        DeviceBattery copy = battery;
        copy.connectionID = was->second;
        stamped.push_back(std::move(copy));
    }
    return stamped;
}

}  // namespace ampwell
