#pragma once

#include "platform/base/PropertyValue.hpp"

#include <nlohmann/json.hpp>

namespace ampwell::platform::sim {

// A property value written as the simulation file writes it: whole numbers exactly, data as
// {"$data": "hex"}, arrays and dictionaries as JSON arrays and objects.
nlohmann::json propertyJSON(const PropertyValue& value);

}  // namespace ampwell::platform::sim
