#pragma once

#include <nlohmann/json.hpp>

#include <string>

namespace ampwell::testing {

// True when, at every level of the JSON text, object keys appear in ascending order. Parsed with
// an order-keeping object so that the text's own order is what gets checked.
inline bool keysSortedAtEveryLevel(const nlohmann::ordered_json& json) {
    if (json.is_object()) {
        std::string previous;
        bool first = true;
        for (auto it = json.begin(); it != json.end(); ++it) {
            if (!first && !(previous < it.key())) return false;
            previous = it.key();
            first = false;
            if (!keysSortedAtEveryLevel(it.value())) return false;
        }
    } else if (json.is_array()) {
        for (const auto& item : json)
            if (!keysSortedAtEveryLevel(item)) return false;
    }
    return true;
}

inline bool keysSortedAtEveryLevel(const std::string& text) {
    return keysSortedAtEveryLevel(nlohmann::ordered_json::parse(text));
}

}  // namespace ampwell::testing
