#include "platform/base/PropertyValue.hpp"

#include <fmt/format.h>

#include <cmath>

namespace ampwell::platform {

PropertyValue::PropertyValue(Storage storage) : storage_(std::move(storage)) {}

PropertyValue PropertyValue::wholeNumber(std::int64_t value) {
    return PropertyValue(PropertyNumber{static_cast<double>(value), true, std::to_string(value)});
}

PropertyValue PropertyValue::unsignedNumber(std::uint64_t value) {
    return PropertyValue(PropertyNumber{static_cast<double>(value), true, std::to_string(value)});
}

PropertyValue PropertyValue::realNumber(double value) {
    // A real that happens to be whole still counts as whole, as the registry's own numbers do.
    const bool whole = std::isfinite(value) && std::trunc(value) == value;
    std::string text = whole && std::fabs(value) < 9.007199254740992e15
                           ? std::to_string(static_cast<std::int64_t>(value))
                           : fmt::format("{}", value);
    return PropertyValue(PropertyNumber{value, whole, std::move(text)});
}

PropertyValue PropertyValue::boolean(bool value) { return PropertyValue(Storage(std::in_place_type<bool>, value)); }
PropertyValue PropertyValue::string(std::string value) { return PropertyValue(Storage(std::in_place_type<std::string>, std::move(value))); }
PropertyValue PropertyValue::data(PropertyData bytes) { return PropertyValue(Storage(std::in_place_type<PropertyData>, std::move(bytes))); }
PropertyValue PropertyValue::array(PropertyArray items) { return PropertyValue(Storage(std::in_place_type<PropertyArray>, std::move(items))); }
PropertyValue PropertyValue::dictionary(PropertyDictionary entries) {
    return PropertyValue(Storage(std::in_place_type<PropertyDictionary>, std::move(entries)));
}

PropertyValue::Kind PropertyValue::kind() const { return static_cast<Kind>(storage_.index()); }

const PropertyNumber* PropertyValue::number() const { return std::get_if<PropertyNumber>(&storage_); }

std::optional<bool> PropertyValue::booleanValue() const {
    if (const bool* b = std::get_if<bool>(&storage_)) return *b;
    return std::nullopt;
}

const std::string* PropertyValue::stringValue() const { return std::get_if<std::string>(&storage_); }
const PropertyData* PropertyValue::dataValue() const { return std::get_if<PropertyData>(&storage_); }
const PropertyArray* PropertyValue::arrayValue() const { return std::get_if<PropertyArray>(&storage_); }
const PropertyDictionary* PropertyValue::dictionaryValue() const {
    return std::get_if<PropertyDictionary>(&storage_);
}

std::string PropertyValue::describe() const {
    switch (kind()) {
    case Kind::number: return number()->text;
    case Kind::boolean: return *booleanValue() ? "true" : "false";
    case Kind::string: return fmt::format("\"{}\"", *stringValue());
    case Kind::data: {
        std::string hex;
        for (auto byte : *dataValue()) hex += fmt::format("{:02x}", byte);
        return fmt::format("<{}>", hex);
    }
    case Kind::array: {
        std::string out = "[";
        for (const auto& item : *arrayValue()) out += (out.size() > 1 ? ", " : "") + item.describe();
        return out + "]";
    }
    case Kind::dictionary: {
        std::string out = "{";
        for (const auto& [key, value] : *dictionaryValue())
            out += fmt::format("{}\"{}\": {}", out.size() > 1 ? ", " : "", key, value.describe());
        return out + "}";
    }
    }
    return {};
}

}  // namespace ampwell::platform
