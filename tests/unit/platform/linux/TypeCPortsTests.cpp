#include "platform/linux/TypeCPorts.hpp"
#include "tests/linux/FakeLaptop.hpp"
#include "tests/unit/platform/linux/TempTree.hpp"

#include <gtest/gtest.h>

namespace ampwell::platform::linux_ {
namespace {

TEST(TypeCPorts, RoleAttributesAndPortNamesAreParsed) {
    EXPECT_EQ(TypeCPorts::currentChoice("[source] sink"), "source");
    EXPECT_EQ(TypeCPorts::currentChoice("source [sink]"), "sink");
    EXPECT_EQ(TypeCPorts::currentChoice("source"), "source");
    EXPECT_EQ(TypeCPorts::currentChoice("source sink"), "");
    EXPECT_EQ(TypeCPorts::portIndex("port12"), std::optional<int>(12));
    EXPECT_EQ(TypeCPorts::portIndex("port0-partner"), std::nullopt);
    EXPECT_EQ(TypeCPorts::portIndex("port"), std::nullopt);
    EXPECT_EQ(TypeCPorts::portIndex("usb4_port1"), std::nullopt);
}

TEST(TypeCPorts, AFakedTreeGivesThePortsConnectorsAndOutputDetails) {
    TempTree temp;
    auto fake = temp.sysfs();
    FakeLaptop laptop;
    laptop.build(fake);
    SysfsTree tree(temp.root());
    auto ports = TypeCPorts::read(tree);
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].powerRole, "source");
    EXPECT_TRUE(ports[0].hasPartner);
    EXPECT_EQ(ports[1].operationMode, "usb_power_delivery");
    EXPECT_EQ(TypeCPorts::connectorIndex(tree, laptop.usb2.portPath(2)), std::optional<int>(1));
    EXPECT_EQ(TypeCPorts::connectorIndex(tree, laptop.usb1.portPath(3)), std::nullopt);
    EXPECT_EQ(PropertyValue::array(TypeCPorts::powerOutDetails(tree)).describe(),
              "[{\"ConfiguredCurrent\": 3000, \"ConfiguredVoltage\": 5000, \"PortIndex\": 1}]");
}

TEST(TypeCPorts, ACurrentSignedAsLeavingTheSourcePortStillGivesItsAmps) {
    TempTree temp;
    auto fake = temp.sysfs();
    FakeLaptop laptop;
    laptop.build(fake);
    const std::string supply = FakeLaptop::typeCPort(0) + "/power_supply/port0-source";
    fake.addDevice(supply, "power_supply",
                   {{"online", "1"}, {"voltage_now", "5000000"}, {"current_now", "-1500000"}, {"power_now", "-7500000"}});
    fake.addLink(supply, "device", FakeLaptop::typeCPort(0));
    EXPECT_EQ(PropertyValue::array(TypeCPorts::powerOutDetails(SysfsTree(temp.root()))).describe(),
              "[{\"AdapterVoltage\": 5000, \"ConfiguredCurrent\": 3000, \"ConfiguredVoltage\": 5000, "
              "\"Current\": 1500, \"PortIndex\": 1, \"Watts\": 7500}]");
}

// A supply on the source port reporting one attribute at a time; "Key=value" for each figure it
// gives, "" for none.
class TypeCPortReadingTest : public ::testing::Test {
protected:
    void SetUp() override {
        laptop.build(fake);
        fake.addDevice(supply, "power_supply", {{"online", "1"}});
        fake.addLink(supply, "device", FakeLaptop::typeCPort(0));
    }
    std::string measured(const char* attribute, const std::string& value) {
        fake.setAttribute(supply, attribute, value);
        const auto details = TypeCPorts::powerOutDetails(SysfsTree(temp.root()));
        fake.removeAttribute(supply, attribute);
        std::string figures;
        for (const auto& [key, reading] : *details.at(0).dictionaryValue())
            if (key == "AdapterVoltage" || key == "Current" || key == "Watts")
                figures += key + "=" + reading.describe();
        return figures;
    }

    TempTree temp;
    FakeSysfs fake = temp.sysfs();
    FakeLaptop laptop;
    const std::string supply = FakeLaptop::typeCPort(0) + "/power_supply/port0-source";
};

TEST_F(TypeCPortReadingTest, AVoltageBeyondFortyEightVoltsOrBelowZeroIsAbsent) {
    EXPECT_EQ(measured("voltage_now", "48000000"), "AdapterVoltage=48000");
    EXPECT_EQ(measured("voltage_now", "48000001"), "");
    EXPECT_EQ(measured("voltage_now", "9223372036854775807"), "");  // a saturated "unknown"
    EXPECT_EQ(measured("voltage_now", "-5000000"), "");             // a voltage has no direction
}

TEST_F(TypeCPortReadingTest, ACurrentBeyondFiveAmpsEitherWayIsAbsent) {
    EXPECT_EQ(measured("current_now", "-5000000"), "Current=5000");
    EXPECT_EQ(measured("current_now", "5000001"), "");
    EXPECT_EQ(measured("current_now", "-9223372036854775807"), "");
}

TEST_F(TypeCPortReadingTest, APowerBeyondTwoHundredFortyWattsEitherWayIsAbsent) {
    EXPECT_EQ(measured("power_now", "240000000"), "Watts=240000");
    EXPECT_EQ(measured("power_now", "240000001"), "");
    EXPECT_EQ(measured("power_now", "-9223372036854775808"), "");
}

TEST_F(TypeCPortReadingTest, TextThatIsNoWholeNumberIsAbsent) {
    EXPECT_EQ(measured("voltage_now", "nan"), "");
    EXPECT_EQ(measured("power_now", "inf"), "");
    EXPECT_EQ(measured("current_now", "99999999999999999999"), "");
    EXPECT_EQ(measured("current_now", "1.5e6"), "");
}

}  // namespace
}  // namespace ampwell::platform::linux_
