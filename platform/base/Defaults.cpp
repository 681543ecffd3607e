#include "platform/base/Defaults.hpp"

namespace ampwell::platform {

std::optional<std::string> stringDefault(const Defaults& defaults, const std::string& key) {
    auto value = defaults.value(key);
    if (!value || !value->stringValue()) return std::nullopt;
    return *value->stringValue();
}

std::optional<double> numberDefault(const Defaults& defaults, const std::string& key) {
    auto value = defaults.value(key);
    if (!value || !value->number()) return std::nullopt;
    return value->number()->value;
}

std::optional<bool> booleanDefault(const Defaults& defaults, const std::string& key) {
    auto value = defaults.value(key);
    if (!value) return std::nullopt;
    return value->booleanValue();
}

}  // namespace ampwell::platform
