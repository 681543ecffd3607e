#pragma once

#include <nlohmann/json.hpp>

#include <optional>
#include <string>

namespace ampwell {

// What a mobile device says of its own supply, read from its battery and charger entry: the power
// it takes in, measured by the device itself, and what the charger on the other end of the cable
// offers it. The two are separate figures: a 20 W offer with 2.5 W taken in is a charger that can
// do more than the device draws, not a weak one. Units are volts, amperes and watts.
struct SupplyAccount {
    std::string entry;  // the registry entry that answered ("AppleSmartBattery", ...)
    std::optional<double> inputWatts;
    std::optional<double> inputVolts;
    std::optional<double> inputAmps;
    std::optional<double> offerWatts;
    std::optional<double> offerVolts;
    std::optional<double> offerAmps;
    std::optional<std::string> offerDescription;  // the charger as the device names it ("pd charger")

    friend bool operator==(const SupplyAccount&, const SupplyAccount&) = default;
};

// Where a port's figures come from. The computer's own reading always wins; the others stand in
// only where the computer reports nothing for the port.
enum class FigureSource {
    computer,      // the computer measured or reported the port's output
    deviceInput,   // the device's own measurement of the power it takes in
    chargerOffer,  // only what the charger offers, as the device reports it
};

// "device-input" and "charger-offer"; the computer's figures carry no source text.
std::optional<std::string> sourceText(FigureSource source);
std::optional<FigureSource> figureSourceFromText(const std::string& text);

// JSON form: absent optionals are omitted.
nlohmann::json toJSON(const SupplyAccount& account);
// Throws nlohmann::json::exception when "entry" is missing or a value has the wrong type.
SupplyAccount supplyAccountFromJSON(const nlohmann::json& json);

}  // namespace ampwell
