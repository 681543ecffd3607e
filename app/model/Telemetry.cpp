#include "app/model/Telemetry.hpp"

#include <cmath>

namespace ampwell {

using platform::PropertyDictionary;
using platform::PropertyValue;

Telemetry::Telemetry(platform::Registry& registry, const platform::Clock& clock, const BootIdentity& bootIdentity)
    : registry_(registry), clock_(clock), bootIdentity_(bootIdentity) {}

std::optional<double> Telemetry::number(const PropertyValue* value) {
    if (value == nullptr) return std::nullopt;
    const auto* n = value->number();
    if (n == nullptr || !std::isfinite(n->value) || n->value < 0) return std::nullopt;
    return n->value;
}

std::optional<double> Telemetry::number(const std::optional<PropertyValue>& value) {
    return value ? number(&*value) : std::nullopt;
}

std::optional<platform::Date> Telemetry::powerDataTimestamp(const PropertyDictionary& props, platform::Date now) {
    static const char* const keys[] = {"UpdateTime", "UserVisiblePathUpdated", "FullPathUpdated", "BootPathUpdated"};
    const double latestAcceptable = platform::secondsSince1970(now) + 5.0;
    std::optional<double> newest;
    for (const char* key : keys) {
        auto found = props.find(key);
        auto value = number(found == props.end() ? nullptr : &found->second);
        if (!value || !(*value > 0) || *value > latestAcceptable) continue;
        if (!newest || *value > *newest) newest = value;
    }
    if (!newest) return std::nullopt;
    return platform::dateFromSecondsSince1970(*newest);
}

}  // namespace ampwell
