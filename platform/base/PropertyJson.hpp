#pragma once

#include "platform/base/PropertyValue.hpp"
#include "platform/base/Result.hpp"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <string>

namespace ampwell::platform {

// The JSON form of property values, the one every file that holds them uses (the simulation file,
// the settings file):
// - true/false ↔ boolean; a string ↔ string; an array ↔ array;
// - a number written without fraction or exponent ↔ whole number (its decimal text kept exact),
//   any other number ↔ real number;
// - {"$data": "<pairs of hex digits>"} ↔ data. An object with the key "$data" is always data and
//   must have no other key, so a dictionary whose keys include "$data" has no JSON form;
// - any other object ↔ dictionary. null has no property value.

// Where a JSON value could not become a property value, and why.
struct PropertyJsonError {
    std::string path;  // the JSON path of the offending value, below the path passed in
    std::string what;  // what is wrong, for a message "<path>: <what>"
};

// How deep arrays and objects may nest in a value read from JSON: far beyond any real file, and
// shallow enough that the conversion, which recurses once per level, never runs out of stack.
inline constexpr std::size_t kMaxPropertyJsonDepth = 256;

Result<PropertyValue, PropertyJsonError> propertyValueFromJson(const nlohmann::json& json, const std::string& path);
Result<PropertyDictionary, PropertyJsonError> propertyDictionaryFromJson(const nlohmann::json& json,
                                                                         const std::string& path);

// Fails (with the path below `path`) only for a dictionary that has the key "$data".
Result<nlohmann::json, PropertyJsonError> propertyValueToJson(const PropertyValue& value, const std::string& path);

// `parent` extended by an object key: ".key" for plain names, otherwise ["key"] in JSON quoting
// (so "USB Product Name" reads $.registry[0].properties["USB Product Name"]).
std::string jsonPathKey(const std::string& parent, const std::string& key);
std::string jsonPathIndex(const std::string& parent, std::size_t index);
// `text` as a JSON string literal: quoted, with quotes and control characters escaped.
std::string jsonQuoted(const std::string& text);
// What kind of JSON value `json` is, for messages ("a string", "an object", ...).
std::string jsonKindText(const nlohmann::json& json);

}  // namespace ampwell::platform
