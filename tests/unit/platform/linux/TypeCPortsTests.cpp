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

}  // namespace
}  // namespace ampwell::platform::linux_
