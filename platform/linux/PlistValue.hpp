#pragma once

#include "platform/base/PropertyValue.hpp"

#include <optional>

typedef void* plist_t;

namespace ampwell::platform::linux_ {

// A libplist node as a property value: booleans stay booleans, integers and reals are numbers,
// strings, data, arrays and dictionaries keep their kind, a date becomes its seconds since
// 2001-01-01. nullopt for a null node or a kind no property holds (keys, UIDs).
std::optional<PropertyValue> propertyValueFromPlist(plist_t node);

}  // namespace ampwell::platform::linux_
