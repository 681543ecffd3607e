#include "app/batteries/SupplyAccountParser.hpp"

#include <gtest/gtest.h>

#include <limits>

namespace ampwell {
namespace {

using platform::PropertyDictionary;
using platform::PropertyValue;

PropertyValue whole(std::int64_t value) { return PropertyValue::wholeNumber(value); }

// Shaped like a dump of a current iPad's "AppleSmartBattery" as the diagnostics relay sends it.
PropertyDictionary currentDump() {
    PropertyDictionary adapter{{"Watts", whole(20)},
                               {"Voltage", whole(9000)},
                               {"Current", whole(2220)},
                               {"Description", PropertyValue::string("pd charger")},
                               {"FamilyCode", whole(-536854528)},
                               {"IsWireless", PropertyValue::boolean(false)}};
    PropertyDictionary telemetry{
        {"SystemPowerIn", whole(17620)}, {"SystemVoltageIn", whole(8970)}, {"SystemCurrentIn", whole(1964)}};
    PropertyDictionary entry{{"AdapterDetails", PropertyValue::dictionary(adapter)},
                             {"PowerTelemetryData", PropertyValue::dictionary(telemetry)},
                             {"ExternalConnected", PropertyValue::boolean(true)},
                             {"InstantAmperage", whole(-120)},
                             {"Voltage", whole(8231)}};
    return {{"IORegistry", PropertyValue::dictionary(entry)}};
}

TEST(SupplyAccountParser, MapsMeasuredInputAndTheChargersOfferApartInWholeUnits) {
    const auto account = supplyAccount::parse("AppleSmartBattery", currentDump());
    ASSERT_TRUE(account);
    EXPECT_EQ(account->entry, "AppleSmartBattery");
    EXPECT_DOUBLE_EQ(*account->inputWatts, 17.62);
    EXPECT_DOUBLE_EQ(*account->inputVolts, 8.97);
    EXPECT_DOUBLE_EQ(*account->inputAmps, 1.964);
    EXPECT_DOUBLE_EQ(*account->offerWatts, 20);
    EXPECT_DOUBLE_EQ(*account->offerVolts, 9);
    EXPECT_DOUBLE_EQ(*account->offerAmps, 2.22);
    EXPECT_EQ(account->offerDescription, "pd charger");
}

TEST(SupplyAccountParser, AnOldChargerEntryWithOnlyTheAdaptersVoltsAndAmpsGivesTheOfferAlone) {
    // Not wrapped, no telemetry, no "Watts": the offer is volts × amps.
    const PropertyDictionary entry{
        {"AdapterDetails", PropertyValue::dictionary({{"Voltage", whole(5000)}, {"Current", whole(500)}})}};
    const auto account = supplyAccount::parse("AppleARMPMUCharger", entry);
    ASSERT_TRUE(account);
    EXPECT_FALSE(account->inputWatts);
    EXPECT_DOUBLE_EQ(*account->offerWatts, 2.5);
}

TEST(SupplyAccountParser, GivesNoAccountForAnotherShapeNoFiguresOrAnAbsurdOne) {
    EXPECT_FALSE(supplyAccount::parse("AppleSmartBattery", {{"IORegistry", PropertyValue::string("busy")}}));
    EXPECT_FALSE(supplyAccount::parse("AppleSmartBattery", {{"CurrentCapacity", whole(64)}}));
    // A boolean or a string where a number belongs is no figure at all.
    EXPECT_FALSE(supplyAccount::parse(
        "AppleSmartBattery",
        {{"AdapterDetails", PropertyValue::dictionary({{"Watts", PropertyValue::boolean(true)},
                                                       {"Voltage", PropertyValue::string("9000")}})}}));
    for (const PropertyValue& absurd :
         {whole(-1), whole(500), PropertyValue::realNumber(std::numeric_limits<double>::infinity())}) {
        auto dump = currentDump();
        auto entry = *dump.at("IORegistry").dictionaryValue();
        entry.insert_or_assign("AdapterDetails", PropertyValue::dictionary({{"Watts", absurd}}));
        dump.insert_or_assign("IORegistry", PropertyValue::dictionary(entry));
        EXPECT_FALSE(supplyAccount::parse("AppleSmartBattery", dump)) << absurd.number()->value;
    }
    // 100 kW in (an INT64-sized milliwatt count) spoils the input and with it the whole account.
    EXPECT_FALSE(supplyAccount::parse(
        "AppleSmartBattery", {{"PowerTelemetryData", PropertyValue::dictionary({{"SystemPowerIn", whole(INT64_MAX)}})},
                              {"AdapterDetails", PropertyValue::dictionary({{"Watts", whole(20)}})}}));
}

TEST(SupplyAccountParser, AChargerThatIsGoneOrOffersNothingIsNoOffer) {
    auto dump = currentDump();
    auto entry = *dump.at("IORegistry").dictionaryValue();
    entry.insert_or_assign("ExternalConnected", PropertyValue::boolean(false));
    const auto unplugged =
        supplyAccount::parse("AppleSmartBattery", {{"IORegistry", PropertyValue::dictionary(entry)}});
    ASSERT_TRUE(unplugged);
    EXPECT_FALSE(unplugged->offerWatts);
    EXPECT_FALSE(unplugged->offerDescription);
    EXPECT_TRUE(unplugged->inputWatts);

    EXPECT_FALSE(supplyAccount::parse("AppleSmartBattery",
                                      {{"AdapterDetails", PropertyValue::dictionary({{"Watts", whole(0)}})}}));
}

}  // namespace
}  // namespace ampwell
