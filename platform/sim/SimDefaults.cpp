#include "platform/sim/SimDefaults.hpp"

namespace ampwell::platform::sim {

SimDefaults::SimDefaults(PropertyDictionary initial) : values_(std::move(initial)) {}

std::optional<PropertyValue> SimDefaults::value(const std::string& key) const {
    std::lock_guard lock(mutex_);
    const auto found = values_.find(key);
    if (found == values_.end()) return std::nullopt;
    return found->second;
}

void SimDefaults::set(const std::string& key, const PropertyValue& value) {
    WriteObserver observer;
    {
        std::lock_guard lock(mutex_);
        values_.insert_or_assign(key, value);
        observer = observer_;
    }
    if (observer) observer(key, value);
}

void SimDefaults::setWriteObserver(WriteObserver observer) {
    std::lock_guard lock(mutex_);
    observer_ = std::move(observer);
}

void SimDefaults::remove(const std::string& key) {
    std::lock_guard lock(mutex_);
    values_.erase(key);
}

PropertyDictionary SimDefaults::contents() const {
    std::lock_guard lock(mutex_);
    return values_;
}

}  // namespace ampwell::platform::sim
