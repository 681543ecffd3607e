#include "fuzz/RandomRegistry.hpp"

#include <array>
#include <limits>

namespace ampwell::fuzzing {
namespace {

using platform::PropertyArray;
using platform::PropertyDictionary;
using platform::PropertyValue;

constexpr std::array<const char*, 28> kKeys{
    "PowerOutDetails", "FedDetails", "UpdateTime", "UserVisiblePathUpdated", "FullPathUpdated",
    "BootPathUpdated", "PortIndex", "AdapterVoltage", "Current", "Watts", "ConfiguredVoltage",
    "ConfiguredCurrent", "FedVendorID", "FedProductID", "FedStateOfCharge", "FedRemainingCapacity",
    "FedDesignCapacity", "USB Product Name", "kUSBProductString", "USB Serial Number",
    "kUSBSerialNumberString", "sessionID", "ParentPortTypeDescription", "ParentPortNumber", "Metadata",
    "Vendor ID", "Product ID", "idVendor"};

constexpr std::array<const char*, 5> kClasses{"AppleSmartBattery", "IOUSBHostDevice",
                                              "IOPortTransportComponentCCUSBPDSOP", "IOPortFeatureUSB",
                                              "IOUSBHostInterface"};

PropertyValue randomValue(FuzzedDataProvider& input, int depth);

PropertyDictionary randomDictionary(FuzzedDataProvider& input, int depth) {
    PropertyDictionary dictionary;
    const int count = input.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        std::string key = input.ConsumeBool() ? kKeys[input.ConsumeIntegralInRange<std::size_t>(0, kKeys.size() - 1)]
                                              : input.ConsumeRandomLengthString(12);
        dictionary.insert_or_assign(std::move(key), randomValue(input, depth + 1));
    }
    return dictionary;
}

PropertyValue randomNumber(FuzzedDataProvider& input) {
    switch (input.ConsumeIntegralInRange(0, 6)) {
    case 0: return PropertyValue::wholeNumber(input.ConsumeIntegralInRange<std::int64_t>(-5, 200));
    case 1: return PropertyValue::wholeNumber(input.ConsumeIntegral<std::int64_t>());
    case 2: return PropertyValue::unsignedNumber(input.ConsumeIntegral<std::uint64_t>());
    case 3: return PropertyValue::realNumber(input.ConsumeFloatingPoint<double>());
    case 4: return PropertyValue::realNumber(std::numeric_limits<double>::quiet_NaN());
    case 5: return PropertyValue::realNumber(input.ConsumeBool() ? std::numeric_limits<double>::infinity()
                                                                 : -std::numeric_limits<double>::infinity());
    default: return PropertyValue::realNumber(input.ConsumeProbability<double>() * 20000.0);
    }
}

PropertyValue randomValue(FuzzedDataProvider& input, int depth) {
    const int kind = input.ConsumeIntegralInRange(0, depth > 4 ? 3 : 6);
    switch (kind) {
    case 0: return randomNumber(input);
    case 1: return PropertyValue::boolean(input.ConsumeBool());
    case 2: return PropertyValue::string(input.ConsumeBool() ? std::string("USB-C") : input.ConsumeRandomLengthString(16));
    case 3: return PropertyValue::data(input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 8)));
    case 4:
    case 5: {
        PropertyArray items;
        const int count = input.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count && input.remaining_bytes() > 0; ++i)
            items.push_back(input.ConsumeBool() ? PropertyValue::dictionary(randomDictionary(input, depth + 1))
                                                : randomValue(input, depth + 1));
        return PropertyValue::array(std::move(items));
    }
    default: return PropertyValue::dictionary(randomDictionary(input, depth + 1));
    }
}

}  // namespace

void fillRandomRegistry(FuzzedDataProvider& input, platform::sim::SimRegistry& registry) {
    const int count = input.ConsumeIntegralInRange(0, 40);
    std::vector<platform::sim::SimEntrySpec> setups;
    for (int i = 0; i < count && input.remaining_bytes() > 0; ++i) {
        platform::sim::SimEntrySpec entrySpec;
        entrySpec.id = static_cast<platform::EntryID>(i + 1);
        entrySpec.className = kClasses[input.ConsumeIntegralInRange<std::size_t>(0, kClasses.size() - 1)];
        // Parents always come earlier, so no cycle can form and every chain ends at a root.
        if (i > 0 && input.ConsumeBool())
            entrySpec.planes[platform::kPortPlane] = static_cast<platform::EntryID>(input.ConsumeIntegralInRange(1, i));
        else if (input.ConsumeBool())
            entrySpec.planes[platform::kPortPlane] = std::nullopt;
        entrySpec.properties = randomDictionary(input, 0);
        entrySpec.propertiesFail = input.ConsumeIntegralInRange(0, 15) == 0;
        setups.push_back(std::move(entrySpec));
    }
    registry.addEntries(std::move(setups));
}

}  // namespace ampwell::fuzzing
