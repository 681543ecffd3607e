#include "tests/unit/support/ResetTestRegistry.hpp"

#include <gtest/gtest.h>

namespace ampwell::testing {
namespace {

using Targets = ResetTestRegistry;

std::vector<EntryID> ids(const std::vector<USBResetTarget>& targets) {
    std::vector<EntryID> result;
    for (const auto& target : targets) result.push_back(target.registryID);
    return result;
}

TEST_F(Targets, DescribesAnExternalDeviceFromItsRegistryEntry) {
    plug(300, {{"USB Product Name", text("iPad")},
               {"USB Serial Number", text(" 00008103-001A ")},
               {"sessionID", PropertyValue::unsignedNumber(18446744073709551557ULL)},
               {"idVendor", whole(1452)}},
         kPort2);
    EXPECT_EQ(list(), (std::vector<USBResetTarget>{
                          {300, "iPad", " 00008103-001A ", "18446744073709551557", 1452, false, 2}}));
}

TEST_F(Targets, NameAndSerialComeFromTheFirstKeyPresent) {
    plug(301, {{"USB Product Name", text(" \tDisk\n")}, {"kUSBProductString", text("Other")}, {"sessionID", whole(1)}});
    plug(302, {{"kUSBProductString", text("Fallback")}, {"sessionID", whole(2)},
               {"kUSBSerialNumberString", text("SN-2")}});
    // A present but unusable first key decides: no fallback.
    plug(303, {{"USB Product Name", whole(42)}, {"kUSBProductString", text("Usable")}, {"sessionID", whole(3)}});
    plug(304, {{"USB Product Name", text("Odd Serial")}, {"sessionID", whole(4)},
               {"USB Serial Number", whole(7)}, {"kUSBSerialNumberString", text("SN-4")}});
    plug(305, {{"USB Product Name", text("\u3000 \n")}, {"sessionID", whole(5)}});

    const auto targets = list();
    EXPECT_EQ(ids(targets), (std::vector<EntryID>{301, 302, 304}));
    EXPECT_EQ(targets[0].productName, "Disk");
    EXPECT_EQ(targets[0].serial, "");
    EXPECT_EQ(targets[1].productName, "Fallback");
    EXPECT_EQ(targets[1].serial, "SN-2");
    EXPECT_EQ(targets[2].serial, "");
}

TEST_F(Targets, ADeviceWithoutAUsableSessionIsNotListed) {
    plugNamed(310, "Good", 77);
    plug(311, {{"USB Product Name", text("Zero")}, {"sessionID", whole(0)}});
    plug(312, {{"USB Product Name", text("Flag")}, {"sessionID", flag(true)}});
    plug(313, {{"USB Product Name", text("Missing")}});
    plug(314, {{"USB Product Name", text("Text")}, {"sessionID", text("42")}});
    plug(315, {{"USB Product Name", text("Below One")}, {"sessionID", PropertyValue::realNumber(0.5)}});
    EXPECT_EQ(ids(list()), (std::vector<EntryID>{310}));
}

TEST_F(Targets, ASessionKeepsTheRegistrysOwnNumberText) {
    plug(317, {{"USB Product Name", text("Fraction")}, {"sessionID", PropertyValue::realNumber(1.5)}});
    plug(318, {{"USB Product Name", text("Huge")}, {"sessionID", PropertyValue::unsignedNumber(18446744073709551615ull)}});
    auto targets = list();
    ASSERT_EQ(targets.size(), 2u);
    EXPECT_EQ(targets[0].sessionID, "1.5");
    EXPECT_EQ(targets[1].sessionID, "18446744073709551615");
}

TEST_F(Targets, OnlyExternalServiceDevicesWithReadablePropertiesAreListed) {
    plugNamed(320, "Plain", 1);
    registry.addEntry({321, "IOUSBHostDevice", {}, {{platform::kServicePlane, kController}},
                       {{"USB Product Name", text("Locked")}, {"sessionID", whole(2)}}, /*propertiesFail=*/true});
    // Matched by class but not attached in the service plane.
    registry.addEntry({322, "IOUSBHostDevice", {}, {{platform::kPortPlane, kPort1}},
                       {{"USB Product Name", text("Port Plane Only")}, {"sessionID", whole(3)}}});
    // A subclass is matched and listed.
    registry.addEntry({323, "VendorUSBDevice", {"IOUSBHostDevice"}, {{platform::kServicePlane, kController}},
                       {{"USB Product Name", text("Subclass")}, {"sessionID", whole(4)}}});
    EXPECT_EQ(ids(list()), (std::vector<EntryID>{320, 323}));
}

TEST_F(Targets, BuiltInDevicesAreNeverListed) {
    const std::vector<std::pair<PropertyValue, bool>> cases{
        {flag(true), false},          {flag(false), true},
        {whole(1), false},            {whole(0), true},
        {bytes({0, 0, 0}), true},     {bytes({0, 1}), false},
        {bytes({}), true},            {text("yes"), true},
    };
    EntryID id = 330;
    std::vector<EntryID> expected;
    for (const auto& [builtIn, listedAnyway] : cases) {
        plug(id, {{"USB Product Name", text("Device")}, {"sessionID", whole(static_cast<std::int64_t>(id))},
                  {"built-in", builtIn}});
        if (listedAnyway) expected.push_back(id);
        ++id;
    }
    EXPECT_EQ(ids(list()), expected);
}

TEST_F(Targets, HubsAreListedAndFoundByDeviceClassOrByAnyInterface) {
    plug(340, {{"USB Product Name", text("Class Hub")}, {"sessionID", whole(1)}, {"bDeviceClass", whole(9)}});
    plug(341, {{"USB Product Name", text("Interface Hub")}, {"sessionID", whole(2)}, {"bDeviceClass", whole(0)}});
    plugInterface(342, 341, {{"bInterfaceClass", whole(3)}});
    plugInterface(343, 341, {{"bInterfaceClass", whole(9)}});
    // Not hubs: a boolean class, a class-9 child that is not an interface, an unreadable interface.
    plug(344, {{"USB Product Name", text("Keyboard")}, {"sessionID", whole(3)}, {"bDeviceClass", flag(true)}});
    plugInterface(345, 344, {{"bInterfaceClass", flag(true)}});
    plugInterface(346, 344, {{"bInterfaceClass", whole(9)}}, "IOUserClient");
    registry.addEntry({347, "IOUSBHostInterface", {}, {{platform::kServicePlane, 344}}, {}, true});

    const auto targets = list();
    ASSERT_EQ(ids(targets), (std::vector<EntryID>{340, 341, 344}));
    EXPECT_TRUE(targets[0].isHub);
    EXPECT_TRUE(targets[1].isHub);
    EXPECT_FALSE(targets[2].isHub);
}

TEST_F(Targets, VendorIsAbsentUnlessItIsANumber) {
    plug(350, {{"USB Product Name", text("A")}, {"sessionID", whole(1)}, {"idVendor", flag(true)}});
    plug(351, {{"USB Product Name", text("B")}, {"sessionID", whole(2)}, {"idVendor", text("1452")}});
    plug(352, {{"USB Product Name", text("C")}, {"sessionID", whole(3)}, {"idVendor", whole(0)}});
    const auto targets = list();
    ASSERT_EQ(targets.size(), 3u);
    EXPECT_EQ(targets[0].vendorID, std::nullopt);
    EXPECT_EQ(targets[1].vendorID, std::nullopt);
    EXPECT_EQ(targets[2].vendorID, 0);
}

TEST_F(Targets, ADeviceWhoseBusOrAddressUsbDoesNotAllowIsNotListed) {
    auto device = [&](EntryID id, PropertyValue bus, PropertyValue address) {
        plug(id, {{"USB Product Name", text("Disk")},
                  {"sessionID", whole(static_cast<std::int64_t>(id))},
                  {"USB Bus Number", std::move(bus)},
                  {"USB Address", std::move(address)}});
    };
    device(360, whole(1), whole(1));
    device(361, whole(255), whole(127));
    device(362, whole(0), whole(5));
    device(363, whole(256), whole(5));
    device(364, whole(1), whole(0));
    device(365, whole(1), whole(128));
    device(366, whole(1), PropertyValue::unsignedNumber(18446744073709551615ull));
    device(367, whole(1), PropertyValue::realNumber(5.5));
    device(368, text("1"), whole(5));
    device(369, whole(-1), whole(5));
    // Without the keys the host finds the device by other means.
    plugNamed(370, "Elsewhere", 370);
    EXPECT_EQ(ids(list()), (std::vector<EntryID>{360, 361, 370}));
}

// The port climb and the list order are checked through the real program by the golden
// scenarios in tests/scenarios/reset_targets.

TEST_F(Targets, ARefusedRegistryQueryGivesAnEmptyList) {
    plugNamed(380, "Disk", 1);
    registry.setMatchingResult("IOUSBHostDevice", platform::kResultNoResources);
    EXPECT_TRUE(list().empty());
}

}  // namespace
}  // namespace ampwell::testing
