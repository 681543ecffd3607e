#pragma once

#include "platform/sim/SimRegistry.hpp"

#include <initializer_list>
#include <string>
#include <utility>

namespace ampwell::testing {

using platform::PropertyValue;

inline PropertyValue num(double value) { return PropertyValue::realNumber(value); }
inline PropertyValue whole(std::int64_t value) { return PropertyValue::wholeNumber(value); }
inline PropertyValue str(std::string value) { return PropertyValue::string(std::move(value)); }
inline PropertyValue flag(bool value) { return PropertyValue::boolean(value); }
inline PropertyValue dict(platform::PropertyDictionary entries) { return PropertyValue::dictionary(std::move(entries)); }
inline PropertyValue list(platform::PropertyArray items) { return PropertyValue::array(std::move(items)); }

// Builds simulated registries for tests in a few lines: entries get IDs in the order they are made.
class RegistryBuilder {
public:
    explicit RegistryBuilder(platform::sim::SimRegistry& registry) : registry_(registry) {}

    platform::EntryID add(std::string className, platform::PropertyDictionary properties,
                          std::optional<platform::EntryID> portParent = std::nullopt, bool portRoot = false) {
        platform::sim::SimEntrySpec entrySpec;
        entrySpec.id = next_++;
        entrySpec.className = std::move(className);
        if (portParent) entrySpec.planes[platform::kPortPlane] = *portParent;
        else if (portRoot) entrySpec.planes[platform::kPortPlane] = std::nullopt;
        entrySpec.properties = std::move(properties);
        registry_.addEntry(entrySpec);
        return entrySpec.id;
    }

    // A root IOPort-plane entry for a port of the given type and number.
    platform::EntryID port(const std::string& type, PropertyValue number) {
        return add("IOPortFeatureUSB", {{"ParentPortTypeDescription", str(type)}, {"ParentPortNumber", number}},
                   std::nullopt, true);
    }
    platform::EntryID usbC(int number) { return port("USB-C", whole(number)); }

    platform::EntryID device(platform::EntryID portParent, platform::PropertyDictionary properties) {
        return add("IOUSBHostDevice", std::move(properties), portParent);
    }

private:
    platform::sim::SimRegistry& registry_;
    platform::EntryID next_ = 100;
};

}  // namespace ampwell::testing
