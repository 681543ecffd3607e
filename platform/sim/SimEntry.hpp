#pragma once

#include "platform/base/PropertyValue.hpp"
#include "platform/registry/Registry.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace ampwell::platform::sim {

// One registry entry as it is added to the simulated registry, from the simulation file or from
// C++ (tests, benchmarks, the fuzzer).
struct SimEntrySpec {
    EntryID id = 0;                      // non-zero, unique among the entries present
    std::string className;               // the entry's own class
    std::vector<std::string> conforms;   // further classes it conforms to
    // Each plane the entry is in → its parent's ID there (nullopt for a root of the plane).
    std::map<std::string, std::optional<EntryID>> planes;
    PropertyDictionary properties;
    bool propertiesFail = false;         // reading the properties is refused
};

}  // namespace ampwell::platform::sim
