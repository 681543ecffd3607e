#include "platform/base/PropertyJson.hpp"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <optional>

namespace ampwell::platform {
namespace {

using nlohmann::json;

constexpr const char* kDataKey = "$data";

bool isPlainName(const std::string& key) {
    if (key.empty() || std::isdigit(static_cast<unsigned char>(key[0]))) return false;
    return std::all_of(key.begin(), key.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '$';
    });
}

std::optional<std::uint8_t> hexDigit(char c) {
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
    if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
    return std::nullopt;
}

Result<PropertyValue, PropertyJsonError> dataFromJson(const json& object, const std::string& path) {
    if (object.size() != 1)
        return Failure{PropertyJsonError{path, "a data value has the one key \"$data\" and nothing else"}};
    const json& hex = object[kDataKey];
    const std::string hexPath = jsonPathKey(path, kDataKey);
    if (!hex.is_string()) return Failure{PropertyJsonError{hexPath, "expected a string, found " + jsonKindText(hex)}};
    const auto& text = hex.get_ref<const std::string&>();
    if (text.size() % 2 != 0)
        return Failure{PropertyJsonError{hexPath, "expected pairs of hex digits, found an odd number of digits"}};
    PropertyData bytes;
    bytes.reserve(text.size() / 2);
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const auto high = hexDigit(text[i]);
        const auto low = hexDigit(text[i + 1]);
        if (!high || !low)
            return Failure{PropertyJsonError{hexPath, "expected hex digits, found " + jsonQuoted(text.substr(i, 2))}};
        bytes.push_back(static_cast<std::uint8_t>(*high << 4 | *low));
    }
    return PropertyValue::data(std::move(bytes));
}

// A whole number as JSON from its exact decimal text; nullopt when the text does not fit.
template <typename Integer>
std::optional<json> exactInteger(const std::string& text) {
    Integer number{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return json(number);
}

std::optional<json> exactWholeNumber(const std::string& text) {
    if (!text.empty() && text.front() == '-') return exactInteger<std::int64_t>(text);
    return exactInteger<std::uint64_t>(text);
}

Result<PropertyDictionary, PropertyJsonError> dictionaryFromJson(const json& value, const std::string& path,
                                                                 std::size_t depth);

// `depth` counts the arrays and objects around `value`; the limit keeps the recursion off the end
// of the stack for a hostile file.
Result<PropertyValue, PropertyJsonError> valueFromJson(const json& value, const std::string& path, std::size_t depth) {
    if ((value.is_array() || value.is_object()) && depth >= kMaxPropertyJsonDepth)
        return Failure{PropertyJsonError{
            path, "arrays and objects nest deeper than " + std::to_string(kMaxPropertyJsonDepth) + " levels"}};
    switch (value.type()) {
    case json::value_t::boolean: return PropertyValue::boolean(value.get<bool>());
    case json::value_t::number_integer: return PropertyValue::wholeNumber(value.get<std::int64_t>());
    case json::value_t::number_unsigned: return PropertyValue::unsignedNumber(value.get<std::uint64_t>());
    case json::value_t::number_float: return PropertyValue::realNumber(value.get<double>());
    case json::value_t::string: return PropertyValue::string(value.get<std::string>());
    case json::value_t::array: {
        PropertyArray items;
        items.reserve(value.size());
        for (std::size_t i = 0; i < value.size(); ++i) {
            auto item = valueFromJson(value[i], jsonPathIndex(path, i), depth + 1);
            if (!item) return Failure{item.error()};
            items.push_back(std::move(item).value());
        }
        return PropertyValue::array(std::move(items));
    }
    case json::value_t::object: {
        if (value.contains(kDataKey)) return dataFromJson(value, path);
        auto entries = dictionaryFromJson(value, path, depth);
        if (!entries) return Failure{entries.error()};
        return PropertyValue::dictionary(std::move(entries).value());
    }
    case json::value_t::null: return Failure{PropertyJsonError{path, "null is not a property value"}};
    default: return Failure{PropertyJsonError{path, "unsupported value"}};
    }
}

Result<PropertyDictionary, PropertyJsonError> dictionaryFromJson(const json& value, const std::string& path,
                                                                 std::size_t depth) {
    if (!value.is_object()) return Failure{PropertyJsonError{path, "expected an object, found " + jsonKindText(value)}};
    PropertyDictionary entries;
    for (const auto& [key, item] : value.items()) {
        auto converted = valueFromJson(item, jsonPathKey(path, key), depth + 1);
        if (!converted) return Failure{converted.error()};
        entries.emplace(key, std::move(converted).value());
    }
    return entries;
}

}  // namespace

Result<PropertyValue, PropertyJsonError> propertyValueFromJson(const json& value, const std::string& path) {
    return valueFromJson(value, path, 0);
}

Result<PropertyDictionary, PropertyJsonError> propertyDictionaryFromJson(const json& value, const std::string& path) {
    return dictionaryFromJson(value, path, 0);
}

Result<json, PropertyJsonError> propertyValueToJson(const PropertyValue& value, const std::string& path) {
    switch (value.kind()) {
    case PropertyValue::Kind::number: {
        const auto* number = value.number();
        // The decimal text is exact even where the double is not.
        if (number->whole)
            if (auto exact = exactWholeNumber(number->text)) return *exact;
        return json(number->value);
    }
    case PropertyValue::Kind::boolean: return json(*value.booleanValue());
    case PropertyValue::Kind::string: return json(*value.stringValue());
    case PropertyValue::Kind::data: {
        std::string hex;
        for (auto byte : *value.dataValue()) hex += fmt::format("{:02x}", byte);
        return json{{kDataKey, hex}};
    }
    case PropertyValue::Kind::array: {
        json array = json::array();
        std::size_t index = 0;
        for (const auto& item : *value.arrayValue()) {
            auto converted = propertyValueToJson(item, jsonPathIndex(path, index++));
            if (!converted) return converted;
            array.push_back(std::move(converted).value());
        }
        return array;
    }
    case PropertyValue::Kind::dictionary: {
        const auto& entries = *value.dictionaryValue();
        if (entries.count(kDataKey) != 0)
            return Failure{PropertyJsonError{path, "a dictionary with the key \"$data\" would read back as data"}};
        json object = json::object();
        for (const auto& [key, item] : entries) {
            auto converted = propertyValueToJson(item, jsonPathKey(path, key));
            if (!converted) return converted;
            object[key] = std::move(converted).value();
        }
        return object;
    }
    }
    return json();
}

std::string jsonQuoted(const std::string& text) {
    return json(text).dump(-1, ' ', false, json::error_handler_t::replace);
}

std::string jsonPathKey(const std::string& parent, const std::string& key) {
    return isPlainName(key) ? parent + "." + key : parent + "[" + jsonQuoted(key) + "]";
}

std::string jsonPathIndex(const std::string& parent, std::size_t index) {
    return parent + "[" + std::to_string(index) + "]";
}

std::string jsonKindText(const json& value) {
    switch (value.type()) {
    case json::value_t::null: return "null";
    case json::value_t::boolean: return "a boolean";
    case json::value_t::number_integer:
    case json::value_t::number_unsigned: return "a whole number";
    case json::value_t::number_float: return "a number with a fraction or exponent";
    case json::value_t::string: return "a string";
    case json::value_t::array: return "an array";
    case json::value_t::object: return "an object";
    default: return "an unsupported value";
    }
}

}  // namespace ampwell::platform
