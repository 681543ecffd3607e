#include "platform/sim/SimPropertyJSON.hpp"

#include <fmt/format.h>

#include <charconv>
#include <cstdint>

namespace ampwell::platform::sim {
namespace {

// A whole number's own text, kept exact; a real number when the text does not fit 64 bits.
nlohmann::json numberJSON(const PropertyNumber& number) {
    if (number.whole) {
        const char* begin = number.text.data();
        const char* end = begin + number.text.size();
        if (!number.text.empty() && number.text.front() == '-') {
            std::int64_t value = 0;
            if (auto [stop, error] = std::from_chars(begin, end, value); error == std::errc() && stop == end) return value;
        } else {
            std::uint64_t value = 0;
            if (auto [stop, error] = std::from_chars(begin, end, value); error == std::errc() && stop == end) return value;
        }
    }
    return number.value;
}

}  // namespace

nlohmann::json propertyJSON(const PropertyValue& value) {
    switch (value.kind()) {
    case PropertyValue::Kind::number: return numberJSON(*value.number());
    case PropertyValue::Kind::boolean: return *value.booleanValue();
    case PropertyValue::Kind::string: return *value.stringValue();
    case PropertyValue::Kind::data: {
        std::string hex;
        for (std::uint8_t byte : *value.dataValue()) hex += fmt::format("{:02x}", byte);
        return {{"$data", hex}};
    }
    case PropertyValue::Kind::array: {
        nlohmann::json items = nlohmann::json::array();
        for (const auto& item : *value.arrayValue()) items.push_back(propertyJSON(item));
        return items;
    }
    case PropertyValue::Kind::dictionary: {
        nlohmann::json entries = nlohmann::json::object();
        for (const auto& [key, item] : *value.dictionaryValue()) entries[key] = propertyJSON(item);
        return entries;
    }
    }
    return nullptr;
}

}  // namespace ampwell::platform::sim
