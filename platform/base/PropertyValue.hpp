#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace ampwell::platform {

class PropertyValue;

using PropertyArray = std::vector<PropertyValue>;
using PropertyDictionary = std::map<std::string, PropertyValue>;
using PropertyData = std::vector<std::uint8_t>;

// A number as the registry stores it: its floating value, whether it is whole, and its own decimal
// text (for a whole number the exact integer, which a double could not keep above 2^53).
struct PropertyNumber {
    double value = 0;
    bool whole = false;
    std::string text;
};

// One value of the kinds the I/O registry hands over. A boolean is never a number: code that reads
// a number asks `number()`, which is absent for a boolean, so refusing booleans is the default.
class PropertyValue {
public:
    enum class Kind { number, boolean, string, data, array, dictionary };

    static PropertyValue wholeNumber(std::int64_t value);
    static PropertyValue unsignedNumber(std::uint64_t value);
    static PropertyValue realNumber(double value);
    static PropertyValue boolean(bool value);
    static PropertyValue string(std::string value);
    static PropertyValue data(PropertyData bytes);
    static PropertyValue array(PropertyArray items);
    static PropertyValue dictionary(PropertyDictionary entries);

    Kind kind() const;

    // Each accessor answers only for its own kind and is empty/null for every other kind.
    const PropertyNumber* number() const;
    std::optional<bool> booleanValue() const;
    const std::string* stringValue() const;
    const PropertyData* dataValue() const;
    const PropertyArray* arrayValue() const;
    const PropertyDictionary* dictionaryValue() const;

    // Debug form, stable across runs (used in test failure messages).
    std::string describe() const;

private:
    using Storage = std::variant<PropertyNumber, bool, std::string, PropertyData, PropertyArray,
                                 PropertyDictionary>;
    explicit PropertyValue(Storage storage);
    Storage storage_;
};

}  // namespace ampwell::platform
