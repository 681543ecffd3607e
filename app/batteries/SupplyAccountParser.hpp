#pragma once

#include "app/model/SupplyAccount.hpp"
#include "platform/base/PropertyValue.hpp"

#include <array>
#include <optional>

namespace ampwell {

// Reads a device's account of its own supply from the registry entry its diagnostics service
// hands over. Current devices answer for "AppleSmartBattery", old ones for "AppleARMPMUCharger";
// both use the keys below, so they are asked in that order and the first account wins.
//
// - the power taken in, measured by the device: "PowerTelemetryData" → "SystemPowerIn" (mW), with
//   "SystemVoltageIn" (mV) and "SystemCurrentIn" (mA); without "SystemPowerIn", volts × amps;
// - what the charger offers: "AdapterDetails" → "Watts" (W), "Voltage" (mV), "Current" (mA) and
//   "Description"; without "Watts", volts × amps. A zero offer is no charger; "ExternalConnected"
//   false drops the offer, since a charger that is gone offers nothing.
//
// An answer may be the entry itself or wrap it under "IORegistry", as the service sends it. A
// value of the wrong kind counts as absent. A value outside the bounds below makes the whole
// account untrustworthy: nothing is returned rather than a figure a user might act on.
namespace supplyAccount {

inline constexpr std::array<const char*, 2> kEntries{"AppleSmartBattery", "AppleARMPMUCharger"};

// Bounds, inclusive. What an iPad takes in stays well under 100 W; a USB PD charger offers at most
// 240 W, 48 V and 5 A (6 A leaves room for rounding in reports).
inline constexpr double kMaximumInputWatts = 100;
inline constexpr double kMaximumVolts = 48;
inline constexpr double kMaximumAmps = 6;
inline constexpr double kMaximumOfferWatts = 240;

// The account in `answer` from `entry`; nullopt when it holds neither figure, has another shape
// or gives a figure out of bounds.
std::optional<SupplyAccount> parse(const char* entry, const platform::PropertyDictionary& answer);

}  // namespace supplyAccount

}  // namespace ampwell
