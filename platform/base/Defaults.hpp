#pragma once

#include "platform/base/PropertyValue.hpp"

#include <optional>
#include <string>

namespace ampwell::platform {

// The application's user-defaults domain. Values keep their kind, so a reader can tell an absent
// key (nullopt) from one of the wrong kind. Writes are durable when the call returns (backends
// that store a file write it atomically and keep an unreadable file aside). Thread-safe.
class Defaults {
public:
    virtual ~Defaults() = default;
    virtual std::optional<PropertyValue> value(const std::string& key) const = 0;
    virtual void set(const std::string& key, const PropertyValue& value) = 0;
    virtual void remove(const std::string& key) = 0;
};

// Typed reads: nullopt when the key is absent or holds another kind.
std::optional<std::string> stringDefault(const Defaults& defaults, const std::string& key);
std::optional<double> numberDefault(const Defaults& defaults, const std::string& key);
std::optional<bool> booleanDefault(const Defaults& defaults, const std::string& key);

}  // namespace ampwell::platform
