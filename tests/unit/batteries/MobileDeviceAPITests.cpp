#include "app/batteries/MobileDeviceAPI.hpp"

#include "app/model/SerialNumber.hpp"
#include "tests/unit/support/ManualClock.hpp"
#include "tests/unit/support/MockMobileDeviceService.hpp"
#include "tests/unit/support/SimulatedIPad.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace ampwell {
namespace {

using platform::PropertyValue;
using test::DeviceNamed;
using test::MockDevice;
using ::testing::_;
using ::testing::AnyNumber;
using ::testing::Eq;
using ::testing::InSequence;
using ::testing::NiceMock;
using ::testing::Return;

const std::optional<std::string> kNoDomain;
const std::optional<std::string> kBattery = std::string(MobileDeviceAPI::kBatteryDomain);
std::optional<std::string> key(const char* k) { return std::string(k); }

class MobileDeviceAPITest : public ::testing::Test {
protected:
    // A paired USB iPad that answers everything, under `name` with that serial.
    std::shared_ptr<MockDevice> healthy(const std::string& name, const std::string& serial) {
        auto device = std::make_shared<MockDevice>(name);
        ON_CALL(service, interfaceType(DeviceNamed(name))).WillByDefault(Return(1));
        ON_CALL(service, copyDeviceUSBSerialNumber(DeviceNamed(name))).WillByDefault(Return(serial));
        ON_CALL(service, copyDeviceIdentifier(DeviceNamed(name))).WillByDefault(Return("id-" + serial));
        ON_CALL(service, connect(DeviceNamed(name))).WillByDefault(Return(0));
        ON_CALL(service, isPaired(DeviceNamed(name))).WillByDefault(Return(1));
        ON_CALL(service, validatePairing(DeviceNamed(name))).WillByDefault(Return(0));
        ON_CALL(service, startSession(DeviceNamed(name))).WillByDefault(Return(0));
        ON_CALL(service, copyValue(DeviceNamed(name), Eq(kNoDomain), Eq(key("DeviceClass"))))
            .WillByDefault(Return(PropertyValue::string("iPad")));
        ON_CALL(service, copyValue(DeviceNamed(name), Eq(kBattery), Eq(std::nullopt)))
            .WillByDefault(Return(test::iPadBatteryDomain()));
        return device;
    }

    // Lets value copies that a test sets no expectation on take their default answers.
    void allowOtherValueCopies() { EXPECT_CALL(service, copyValue(_, _, _)).Times(AnyNumber()); }

    NiceMock<test::MockMobileDeviceService> service;
    test::ManualClock clock;
    MobileDeviceAPI api{service, clock};
};

TEST(MobileDeviceAPIValues, PercentIsAWholeNumberFromZeroToHundred) {
    EXPECT_EQ(MobileDeviceAPI::percent(PropertyValue::wholeNumber(87)), 87);
    EXPECT_EQ(MobileDeviceAPI::percent(PropertyValue::realNumber(87.0)), 87);
    EXPECT_EQ(MobileDeviceAPI::percent(PropertyValue::wholeNumber(0)), 0);
    EXPECT_EQ(MobileDeviceAPI::percent(PropertyValue::wholeNumber(100)), 100);
    for (const auto& refused :
         {PropertyValue::realNumber(87.5), PropertyValue::wholeNumber(-1), PropertyValue::wholeNumber(101),
          PropertyValue::boolean(true), PropertyValue::string("87"),
          PropertyValue::realNumber(std::numeric_limits<double>::quiet_NaN()),
          PropertyValue::realNumber(std::numeric_limits<double>::infinity())})
        EXPECT_EQ(MobileDeviceAPI::percent(refused), std::nullopt) << refused.describe();
    EXPECT_EQ(MobileDeviceAPI::percent(std::nullopt), std::nullopt);
}

TEST(MobileDeviceAPIValues, BooleanTakesBooleansAndTheNumbersZeroAndOne) {
    EXPECT_EQ(MobileDeviceAPI::boolean(PropertyValue::boolean(true)), true);
    EXPECT_EQ(MobileDeviceAPI::boolean(PropertyValue::boolean(false)), false);
    EXPECT_EQ(MobileDeviceAPI::boolean(PropertyValue::wholeNumber(1)), true);
    EXPECT_EQ(MobileDeviceAPI::boolean(PropertyValue::realNumber(0.0)), false);
    EXPECT_EQ(MobileDeviceAPI::boolean(PropertyValue::wholeNumber(2)), std::nullopt);
    EXPECT_EQ(MobileDeviceAPI::boolean(PropertyValue::realNumber(0.5)), std::nullopt);
    EXPECT_EQ(MobileDeviceAPI::boolean(PropertyValue::string("true")), std::nullopt);
    EXPECT_EQ(MobileDeviceAPI::boolean(std::nullopt), std::nullopt);
}

TEST_F(MobileDeviceAPITest, ReadsTheBatteryDomainAndClosesSessionThenConnection) {
    auto device = healthy("a", "00008103-001A");
    clock.advanceTo(12);
    {
        InSequence order;
        EXPECT_CALL(service, connect(_));
        EXPECT_CALL(service, startSession(_));
        EXPECT_CALL(service, stopSession(_));
        EXPECT_CALL(service, disconnect(_));
    }
    auto battery = api.read(*device);
    ASSERT_TRUE(battery);
    EXPECT_EQ(battery->serial, "00008103-001A");
    EXPECT_EQ(battery->deviceClass, "iPad");
    EXPECT_EQ(battery->percent, 80);
    EXPECT_EQ(battery->isCharging, false);
    EXPECT_EQ(battery->externalConnected, true);
    EXPECT_EQ(battery->sampledAt, clock.now());
    EXPECT_FALSE(battery->connectionID);
}

TEST_F(MobileDeviceAPITest, AKeyMissingFromTheDomainIsAskedForAlone) {
    auto device = healthy("a", "S1");
    ON_CALL(service, copyValue(_, Eq(kBattery), Eq(std::nullopt)))
        .WillByDefault(Return(PropertyValue::dictionary({{"BatteryCurrentCapacity", PropertyValue::realNumber(55.0)},
                                                         {"BatteryIsCharging", PropertyValue::wholeNumber(1)}})));
    allowOtherValueCopies();
    EXPECT_CALL(service, copyValue(_, Eq(kBattery), Eq(key("ExternalConnected"))))
        .WillOnce(Return(PropertyValue::wholeNumber(0)));
    EXPECT_CALL(service, copyValue(_, Eq(kBattery), Eq(key("BatteryIsCharging")))).Times(0);
    auto battery = api.read(*device);
    ASSERT_TRUE(battery);
    EXPECT_EQ(battery->percent, 55);
    EXPECT_EQ(battery->isCharging, true);
    EXPECT_EQ(battery->externalConnected, false);
}

TEST_F(MobileDeviceAPITest, ADomainThatIsNoDictionaryCountsAsEmpty) {
    auto device = healthy("a", "S1");
    ON_CALL(service, copyValue(_, Eq(kBattery), Eq(std::nullopt))).WillByDefault(Return(PropertyValue::string("x")));
    ON_CALL(service, copyValue(_, Eq(kBattery), Eq(key("BatteryCurrentCapacity"))))
        .WillByDefault(Return(PropertyValue::wholeNumber(31)));
    auto battery = api.read(*device);
    ASSERT_TRUE(battery);
    EXPECT_EQ(battery->percent, 31);
    EXPECT_EQ(battery->isCharging, std::nullopt);
    EXPECT_EQ(battery->externalConnected, std::nullopt);
}

TEST_F(MobileDeviceAPITest, OnlyUSBDevicesAreRead) {
    auto device = healthy("a", "S1");
    EXPECT_CALL(service, interfaceType(_)).WillOnce(Return(2)).WillOnce(Return(std::nullopt));
    EXPECT_CALL(service, connect(_)).Times(1);
    EXPECT_FALSE(api.read(*device));
    EXPECT_TRUE(api.read(*device));  // without the operation, any attachment is accepted
}

TEST_F(MobileDeviceAPITest, SerialFallsBackToTheIdentifierAndWithoutEitherNothingIsRead) {
    auto device = healthy("a", "S1");
    EXPECT_CALL(service, copyDeviceUSBSerialNumber(_))
        .WillOnce(Return(std::string()))
        .WillOnce(Return(std::nullopt))
        .WillOnce(Return(std::nullopt));
    EXPECT_CALL(service, copyDeviceIdentifier(_))
        .WillOnce(Return("ident-1"))
        .WillOnce(Return("ident-2"))
        .WillOnce(Return(std::string()));
    EXPECT_EQ(api.read(*device)->serial, "ident-1");
    EXPECT_EQ(api.read(*device)->serial, "ident-2");
    EXPECT_CALL(service, connect(_)).Times(0);
    EXPECT_FALSE(api.read(*device));
}

TEST_F(MobileDeviceAPITest, ARefusedConnectionGivesNothingAndNeedsNoDisconnect) {
    auto device = healthy("a", "S1");
    EXPECT_CALL(service, connect(_)).WillOnce(Return(-402653183));
    EXPECT_CALL(service, disconnect(_)).Times(0);
    EXPECT_FALSE(api.read(*device));
}

TEST_F(MobileDeviceAPITest, WithoutPairingOrSessionTheDeviceIsListedWithUnknownValues) {
    auto device = healthy("a", "S1");
    ON_CALL(service, copyValue(_, Eq(kNoDomain), Eq(key("DeviceClass"))))
        .WillByDefault(Return(PropertyValue::wholeNumber(3)));  // not text: "iOS"
    struct Case {
        int paired, validate, session;
    };
    for (const Case c : {Case{0, 0, 0}, Case{1, -17, 0}, Case{1, 0, -1}}) {
        ::testing::Mock::VerifyAndClearExpectations(&service);
        ON_CALL(service, isPaired(_)).WillByDefault(Return(c.paired));
        ON_CALL(service, validatePairing(_)).WillByDefault(Return(c.validate));
        ON_CALL(service, startSession(_)).WillByDefault(Return(c.session));
        allowOtherValueCopies();
        EXPECT_CALL(service, disconnect(_)).Times(1);
        EXPECT_CALL(service, stopSession(_)).Times(0);
        EXPECT_CALL(service, copyValue(_, Eq(kBattery), _)).Times(0);
        auto battery = api.read(*device);
        ASSERT_TRUE(battery);
        EXPECT_EQ(battery->deviceClass, "iOS");
        EXPECT_FALSE(battery->percent || battery->isCharging || battery->externalConnected);
    }
}

TEST_F(MobileDeviceAPITest, TheClassReadInTheSessionReplacesTheFirstOne) {
    auto device = healthy("a", "S1");
    allowOtherValueCopies();
    EXPECT_CALL(service, copyValue(_, Eq(kNoDomain), Eq(key("DeviceClass"))))
        .WillOnce(Return(std::nullopt))
        .WillOnce(Return(PropertyValue::string("iPhone")));
    EXPECT_EQ(api.read(*device)->deviceClass, "iPhone");
}

TEST_F(MobileDeviceAPITest, OnlyDevicesOnSilentPortsAreAskedForTheirAccountAndARefusalCostsOnlyTheAccount) {
    auto silent = healthy("a", "00008103-001A");
    auto reporting = healthy("b", "00008110-002B");
    const platform::PropertyDictionary oldCharger{
        {"AdapterDetails", PropertyValue::dictionary({{"Watts", PropertyValue::wholeNumber(12)}})}};
    // The current entry is refused; the old one answers.
    EXPECT_CALL(service, queryRegistryEntry(DeviceNamed("a"), "AppleSmartBattery")).WillOnce(Return(std::nullopt));
    EXPECT_CALL(service, queryRegistryEntry(DeviceNamed("a"), "AppleARMPMUCharger")).WillOnce(Return(oldCharger));
    EXPECT_CALL(service, queryRegistryEntry(DeviceNamed("b"), _)).Times(0);
    const std::set<std::string> accountSerials{normalizedSerial("00008103-001A")};
    const auto asked = api.read(*silent, accountSerials);
    ASSERT_TRUE(asked && asked->account);
    EXPECT_EQ(asked->account->entry, "AppleARMPMUCharger");
    EXPECT_EQ(asked->account->offerWatts, 12);
    EXPECT_FALSE(api.read(*reporting, accountSerials)->account);

    EXPECT_CALL(service, queryRegistryEntry(DeviceNamed("a"), _)).WillRepeatedly(Return(std::nullopt));
    const auto refused = api.read(*silent, accountSerials);
    ASSERT_TRUE(refused);
    EXPECT_FALSE(refused->account);
    EXPECT_EQ(refused->percent, 80);
}

TEST_F(MobileDeviceAPITest, ReadAllKeepsTheLaterDeviceOfASerialAndSortsBySerial) {
    auto first = healthy("first", "S2");
    auto nameless = healthy("nameless", "");
    ON_CALL(service, copyDeviceIdentifier(DeviceNamed("nameless"))).WillByDefault(Return(std::nullopt));
    auto other = healthy("other", "S1");
    auto later = healthy("later", "S2");
    ON_CALL(service, copyValue(DeviceNamed("later"), Eq(kBattery), Eq(std::nullopt)))
        .WillByDefault(Return(test::iPadBatteryDomain(12, true)));
    EXPECT_CALL(service, createDeviceList())
        .WillOnce(Return(std::vector<std::shared_ptr<platform::MobileDevice>>{first, nullptr, nameless, other, later}))
        .WillOnce(Return(std::nullopt));
    auto batteries = api.readAll();
    ASSERT_EQ(batteries.size(), 2u);
    EXPECT_EQ(batteries[0].serial, "S1");
    EXPECT_EQ(batteries[1].serial, "S2");
    EXPECT_EQ(batteries[1].percent, 12);
    EXPECT_TRUE(api.readAll().empty());
}

TEST(MobileDeviceAPILoad, AnUnavailableFrameworkGivesNoAPI) {
    NiceMock<test::MockMobileDeviceService> service;
    test::ManualClock clock;
    EXPECT_CALL(service, load())
        .WillOnce(Return(platform::MobileDeviceService::State::unavailable))
        .WillOnce(Return(platform::MobileDeviceService::State::loaded));
    EXPECT_EQ(MobileDeviceAPI::load(service, clock), nullptr);
    EXPECT_NE(MobileDeviceAPI::load(service, clock), nullptr);
}

}  // namespace
}  // namespace ampwell
