#include "platform/linux/PlistValue.hpp"

#include <plist/plist.h>

#include <cstdint>
#include <cstdlib>
#include <limits>

namespace ampwell::platform::linux_ {

std::optional<PropertyValue> propertyValueFromPlist(plist_t node) {
    if (node == nullptr) return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t value = 0;
        plist_get_bool_val(node, &value);
        return PropertyValue::boolean(value != 0);
    }
    case PLIST_UINT: {
        std::uint64_t value = 0;
        plist_get_uint_val(node, &value);
        // libplist keeps a negative integer in two's complement in the same 64 bits.
        if (value > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return PropertyValue::wholeNumber(static_cast<std::int64_t>(value));
        return PropertyValue::unsignedNumber(value);
    }
    case PLIST_REAL: {
        double value = 0;
        plist_get_real_val(node, &value);
        return PropertyValue::realNumber(value);
    }
    case PLIST_STRING: {
        char* text = nullptr;
        plist_get_string_val(node, &text);
        if (text == nullptr) return PropertyValue::string("");
        std::string value(text);
        std::free(text);
        return PropertyValue::string(std::move(value));
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        PropertyData data(reinterpret_cast<std::uint8_t*>(bytes), reinterpret_cast<std::uint8_t*>(bytes) + length);
        std::free(bytes);
        return PropertyValue::data(std::move(data));
    }
    case PLIST_DATE: {
        std::int32_t seconds = 0, microseconds = 0;
        plist_get_date_val(node, &seconds, &microseconds);
        return PropertyValue::realNumber(seconds + microseconds / 1e6);
    }
    case PLIST_ARRAY: {
        PropertyArray items;
        const std::uint32_t size = plist_array_get_size(node);
        for (std::uint32_t i = 0; i < size; ++i)
            if (auto item = propertyValueFromPlist(plist_array_get_item(node, i))) items.push_back(std::move(*item));
        return PropertyValue::array(std::move(items));
    }
    case PLIST_DICT: {
        PropertyDictionary entries;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &key, &item);
            if (key == nullptr) break;
            if (auto value = propertyValueFromPlist(item)) entries.insert_or_assign(key, std::move(*value));
            std::free(key);
        }
        std::free(iterator);
        return PropertyValue::dictionary(std::move(entries));
    }
    default: return std::nullopt;
    }
}

}  // namespace ampwell::platform::linux_
