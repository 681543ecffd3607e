#include "tests/unit/support/MemoryDefaults.hpp"

namespace ampwell {

std::optional<platform::PropertyValue> MemoryDefaults::value(const std::string& key) const {
    auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

void MemoryDefaults::set(const std::string& key, const platform::PropertyValue& value) {
    ++sets_;
    values_.insert_or_assign(key, value);
}

void MemoryDefaults::remove(const std::string& key) {
    ++removes_;
    values_.erase(key);
}

}  // namespace ampwell
