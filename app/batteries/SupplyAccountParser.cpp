#include "app/batteries/SupplyAccountParser.hpp"

#include <cmath>

namespace ampwell::supplyAccount {

namespace {

using platform::PropertyDictionary;

const PropertyDictionary* dictionaryAt(const PropertyDictionary& dictionary, const char* key) {
    const auto found = dictionary.find(key);
    return found == dictionary.end() ? nullptr : found->second.dictionaryValue();
}

// A number (never a boolean) given in 1/`perUnit` of a unit (1000 for mV, mA, mW), as a value in
// whole units; `outOfBounds` is set for a number that is not finite, negative or above `maximum`.
// Dividing keeps 477 mA at 0.477 A, where multiplying by 0.001 would not.
std::optional<double> measure(const PropertyDictionary* dictionary, const char* key, double perUnit, double maximum,
                              bool& outOfBounds) {
    if (dictionary == nullptr) return std::nullopt;
    const auto found = dictionary->find(key);
    if (found == dictionary->end()) return std::nullopt;
    const auto* number = found->second.number();
    if (number == nullptr) return std::nullopt;
    const double value = number->value / perUnit;
    if (!std::isfinite(value) || value < 0 || value > maximum) {
        outOfBounds = true;
        return std::nullopt;
    }
    return value;
}

std::optional<double> product(std::optional<double> volts, std::optional<double> amps) {
    if (!volts || !amps) return std::nullopt;
    return *volts * *amps;
}

}  // namespace

std::optional<SupplyAccount> parse(const char* entry, const PropertyDictionary& answer) {
    const PropertyDictionary* properties = &answer;
    if (answer.contains("IORegistry")) {
        properties = dictionaryAt(answer, "IORegistry");
        if (properties == nullptr) return std::nullopt;
    }
    bool outOfBounds = false;
    SupplyAccount account;
    account.entry = entry;

    const PropertyDictionary* telemetry = dictionaryAt(*properties, "PowerTelemetryData");
    account.inputVolts = measure(telemetry, "SystemVoltageIn", 1000, kMaximumVolts, outOfBounds);
    account.inputAmps = measure(telemetry, "SystemCurrentIn", 1000, kMaximumAmps, outOfBounds);
    account.inputWatts = measure(telemetry, "SystemPowerIn", 1000, kMaximumInputWatts, outOfBounds);
    if (!account.inputWatts) account.inputWatts = product(account.inputVolts, account.inputAmps);
    if (account.inputWatts && *account.inputWatts > kMaximumInputWatts) outOfBounds = true;

    const PropertyDictionary* adapter = dictionaryAt(*properties, "AdapterDetails");
    account.offerVolts = measure(adapter, "Voltage", 1000, kMaximumVolts, outOfBounds);
    account.offerAmps = measure(adapter, "Current", 1000, kMaximumAmps, outOfBounds);
    account.offerWatts = measure(adapter, "Watts", 1, kMaximumOfferWatts, outOfBounds);
    if (!account.offerWatts) account.offerWatts = product(account.offerVolts, account.offerAmps);
    if (account.offerWatts && *account.offerWatts > kMaximumOfferWatts) outOfBounds = true;
    if (adapter != nullptr) {
        const auto description = adapter->find("Description");
        if (description != adapter->end() && description->second.stringValue() != nullptr &&
            !description->second.stringValue()->empty())
            account.offerDescription = *description->second.stringValue();
    }
    if (outOfBounds) return std::nullopt;

    const auto external = properties->find("ExternalConnected");
    const bool unplugged = external != properties->end() && external->second.booleanValue() == false;
    if (unplugged || (account.offerWatts && *account.offerWatts == 0)) {
        account.offerWatts.reset();
        account.offerVolts.reset();
        account.offerAmps.reset();
        account.offerDescription.reset();
    }
    if (!account.inputWatts && !account.offerWatts) return std::nullopt;
    return account;
}

}  // namespace ampwell::supplyAccount
