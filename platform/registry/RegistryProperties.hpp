#pragma once

#include "platform/base/PropertyValue.hpp"
#include "platform/registry/Registry.hpp"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ampwell::platform {

// Reading registry properties: the number conversions, the lookups and the walk up the port plane
// that the telemetry and the reset targets share. Every function here is pure; none throws.

// How many entries above a device the port walks examine (the parent counts as the first). The
// telemetry looks at the parent and 11 more; the reset targets, whose hubs may chain deeper behind
// a dock, look at up to 16.
inline constexpr int kTelemetryPortWalkLimit = 12;
inline constexpr int kResetPortWalkLimit = 16;

// The value under `key`; nullptr when absent.
const PropertyValue* findProperty(const PropertyDictionary& properties, const std::string& key);
// The value of the first of two keys that is present, even when it is of the wrong kind (the
// second spelling is read only when the first is absent).
const PropertyValue* firstPresent(const PropertyDictionary& properties, const char* key, const char* fallback);
std::optional<PropertyValue> firstPresent(const RegistryEntry& entry, const char* key, const char* fallback);
// The string of the first present key; nullopt when that value is not a string.
std::optional<std::string> firstPresentString(const RegistryEntry& entry, const char* key, const char* fallback);

// The value when it is a number, never when it is a boolean.
const PropertyNumber* numeric(const PropertyValue* value);
// A measurement: a finite, non-negative number that is not a boolean.
std::optional<double> measurement(const PropertyValue* value);
// The number as a signed integer, the fraction cut off. A whole number keeps every digit (its own
// text is exact where a double is not); a value out of range saturates instead of overflowing.
std::int64_t integerValue(const PropertyNumber& number);
// Any number, truncated toward zero, and a boolean as 0 or 1; nullopt for what is neither or does
// not fit in 64 bits.
std::optional<std::int64_t> anyNumberAsInteger(const std::optional<PropertyValue>& value);

// Walks up the port plane from `device`'s parent, examining at most `limit` entries, and returns
// the first port `portOf` finds on one of them.
std::optional<std::int64_t> portAbove(const RegistryEntry& device, int limit,
                                      const std::function<std::optional<std::int64_t>(const RegistryEntry&)>& portOf);

}  // namespace ampwell::platform
