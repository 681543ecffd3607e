#include "platform/registry/RegistryProperties.hpp"

#include <charconv>
#include <cmath>
#include <limits>

namespace ampwell::platform {
namespace {

template <typename Integer>
std::optional<Integer> parseInteger(const std::string& text) {
    Integer value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

const PropertyValue* findProperty(const PropertyDictionary& properties, const std::string& key) {
    auto found = properties.find(key);
    return found == properties.end() ? nullptr : &found->second;
}

const PropertyValue* firstPresent(const PropertyDictionary& properties, const char* key, const char* fallback) {
    if (const PropertyValue* value = findProperty(properties, key)) return value;
    return findProperty(properties, fallback);
}

std::optional<PropertyValue> firstPresent(const RegistryEntry& entry, const char* key, const char* fallback) {
    auto value = entry.property(key);
    if (!value) value = entry.property(fallback);
    return value;
}

std::optional<std::string> firstPresentString(const RegistryEntry& entry, const char* key, const char* fallback) {
    const auto value = firstPresent(entry, key, fallback);
    if (!value || value->stringValue() == nullptr) return std::nullopt;
    return *value->stringValue();
}

const PropertyNumber* numeric(const PropertyValue* value) { return value ? value->number() : nullptr; }

std::optional<double> measurement(const PropertyValue* value) {
    const PropertyNumber* n = numeric(value);
    if (n == nullptr || !std::isfinite(n->value) || n->value < 0) return std::nullopt;
    return n->value;
}

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

std::optional<std::int64_t> anyNumberAsInteger(const std::optional<PropertyValue>& value) {
    if (!value) return std::nullopt;
    if (auto b = value->booleanValue()) return *b ? 1 : 0;
    const auto* n = value->number();
    if (n == nullptr || !std::isfinite(n->value)) return std::nullopt;
    if (n->value >= 9.2e18 || n->value <= -9.2e18) return std::nullopt;
    return static_cast<std::int64_t>(n->value);
}

std::optional<std::int64_t> portAbove(const RegistryEntry& device, int limit,
                                      const std::function<std::optional<std::int64_t>(const RegistryEntry&)>& portOf) {
    std::unique_ptr<RegistryEntry> entry = device.parent(kPortPlane);
    for (int examined = 0; entry && examined < limit; ++examined) {
        if (auto port = portOf(*entry)) return port;
        entry = entry->parent(kPortPlane);
    }
    return std::nullopt;
}

}  // namespace ampwell::platform
