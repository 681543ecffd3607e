#pragma once

#include "platform/base/Defaults.hpp"

#include <functional>
#include <mutex>

namespace ampwell::platform::sim {

// The simulated user-defaults domain: in memory, seeded from the simulation file, forgotten when
// the process ends. Thread-safe.
class SimDefaults final : public Defaults {
public:
    explicit SimDefaults(PropertyDictionary initial = {});

    std::optional<PropertyValue> value(const std::string& key) const override;
    void set(const std::string& key, const PropertyValue& value) override;
    void remove(const std::string& key) override;
    // A copy of the whole domain (tests and the demo show what was written).
    PropertyDictionary contents() const;
    // Called after every write, on the writing thread, with the key and the value written; empty:
    // nobody is told.
    using WriteObserver = std::function<void(const std::string&, const PropertyValue&)>;
    void setWriteObserver(WriteObserver observer);

private:
    mutable std::mutex mutex_;
    PropertyDictionary values_;
    WriteObserver observer_;  // guarded by mutex_
};

}  // namespace ampwell::platform::sim
