#pragma once

// The busy desk of the benchmarks: 64 USB devices behind 4 USB-C ports, hub chains six devices
// deep, 8 power-out entries.
#include "platform/sim/SimRegistry.hpp"

#include <string>
#include <vector>

namespace ampwell::bench {

using platform::PropertyValue;
using platform::sim::SimEntrySpec;

inline platform::PropertyDictionary portProperties(const char* type, int number) {
    return {{"ParentPortTypeDescription", PropertyValue::string(type)},
            {"ParentPortNumber", PropertyValue::wholeNumber(number)}};
}

inline platform::PropertyDictionary deviceProperties(int index) {
    return {{"USB Product Name", PropertyValue::string("Device " + std::to_string(index))},
            {"USB Serial Number", PropertyValue::string("SER-" + std::to_string(index))},
            {"sessionID", PropertyValue::wholeNumber(100000 + index)},
            {"idVendor", PropertyValue::wholeNumber(1452)}};
}

// Builds the desk. Per USB-C port: a chain of 5 hubs, each with a downstream port, and 11 leaf
// devices spread over the chain's levels (the deepest six devices down).
inline void buildDesk(platform::sim::SimRegistry& registry) {
    std::vector<SimEntrySpec> specs;
    platform::EntryID next = 1;
    platform::PropertyArray details;
    for (int i = 0; i < 8; ++i) {
        details.push_back(PropertyValue::dictionary({{"PortIndex", PropertyValue::wholeNumber(i % 4 + 1)},
                                                     {"AdapterVoltage", PropertyValue::wholeNumber(5000)},
                                                     {"Current", PropertyValue::wholeNumber(1500)},
                                                     {"ConfiguredVoltage", PropertyValue::wholeNumber(5000)},
                                                     {"ConfiguredCurrent", PropertyValue::wholeNumber(3000)}}));
    }
    platform::PropertyArray fed;
    fed.push_back(PropertyValue::dictionary({{"FedVendorID", PropertyValue::wholeNumber(1452)},
                                             {"FedProductID", PropertyValue::wholeNumber(4776)},
                                             {"FedStateOfCharge", PropertyValue::wholeNumber(80)},
                                             {"FedRemainingCapacity", PropertyValue::wholeNumber(8000)},
                                             {"FedDesignCapacity", PropertyValue::wholeNumber(10000)}}));
    specs.push_back(SimEntrySpec{next++, "AppleSmartBattery", {}, {},
                                 {{"PowerOutDetails", PropertyValue::array(details)},
                                  {"FedDetails", PropertyValue::array(fed)},
                                  {"UpdateTime", PropertyValue::wholeNumber(1796596200)}},
                                 false});
    for (int port = 1; port <= 4; ++port) {
        auto component = portProperties("USB-C", port);
        component.insert_or_assign("Metadata", PropertyValue::dictionary({{"Vendor ID", PropertyValue::wholeNumber(1452)},
                                                           {"Product ID", PropertyValue::wholeNumber(4770 + port)}}));
        specs.push_back(SimEntrySpec{next++, "IOPortTransportComponentCCUSBPDSOP", {}, {}, component, false});
    }
    int deviceIndex = 0;
    for (int port = 1; port <= 4; ++port) {
        const platform::EntryID portEntry = next++;
        specs.push_back(SimEntrySpec{portEntry, "IOPortFeatureUSB", {}, {{platform::kPortPlane, std::nullopt}},
                                     portProperties("USB-C", port), false});
        std::vector<platform::EntryID> levels{portEntry};  // where devices of each depth attach
        for (int hub = 0; hub < 5; ++hub) {
            const platform::EntryID hubEntry = next++;
            specs.push_back(SimEntrySpec{hubEntry, "IOUSBHostDevice", {}, {{platform::kPortPlane, levels.back()}},
                                         deviceProperties(deviceIndex++), false});
            const platform::EntryID downstream = next++;
            specs.push_back(SimEntrySpec{downstream, "IOPortFeatureUSB", {}, {{platform::kPortPlane, hubEntry}},
                                         portProperties("USB-A", hub + 1), false});
            levels.push_back(downstream);
        }
        for (int leaf = 0; leaf < 11; ++leaf) {
            specs.push_back(SimEntrySpec{next++, "IOUSBHostDevice", {},
                                         {{platform::kPortPlane, levels[static_cast<std::size_t>(leaf) % levels.size()]}},
                                         deviceProperties(deviceIndex++), false});
        }
    }
    registry.addEntries(std::move(specs));
}

}  // namespace ampwell::bench
