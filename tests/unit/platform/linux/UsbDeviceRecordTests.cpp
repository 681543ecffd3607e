#include "platform/linux/UsbDeviceRecord.hpp"
#include "tests/linux/FakeLaptop.hpp"
#include "tests/unit/platform/linux/TempTree.hpp"

#include <gtest/gtest.h>

#include <algorithm>

namespace ampwell::platform::linux_ {
namespace {

TEST(UsbDeviceRecord, SysfsNumbersAreReadStrictly) {
    EXPECT_EQ(parseHexadecimal("05ac"), std::optional<std::uint64_t>(0x05ac));
    EXPECT_EQ(parseHexadecimal("0x09\n"), std::optional<std::uint64_t>(9));
    EXPECT_EQ(parseDecimal(" 12 "), std::optional<std::uint64_t>(12));
    EXPECT_EQ(parseDecimal("12a"), std::nullopt);
    EXPECT_EQ(parseDecimal(""), std::nullopt);
    EXPECT_EQ(parseHexadecimal("-1"), std::nullopt);
}

TEST(UsbDeviceRecord, DevicesSortByBusThenPortPathNumerically) {
    std::vector<std::string> names{"2-1", "1-10", "usb2", "1-2.1", "1-2", "usb1", "1-1"};
    std::sort(names.begin(), names.end(), [](const auto& a, const auto& b) { return usbNameBefore(a, b); });
    EXPECT_EQ(names, (std::vector<std::string>{"usb1", "1-1", "1-2", "1-2.1", "1-10", "usb2", "2-1"}));
}

TEST(UsbDeviceRecord, TheFallbackSessionChangesWithAddressOrDirectory) {
    const auto base = fallbackSessionID(1, 5, 1000);
    EXPECT_GT(base, 0u);
    EXPECT_NE(fallbackSessionID(1, 6, 1000), base);
    EXPECT_NE(fallbackSessionID(1, 5, 1001), base);
    EXPECT_NE(fallbackSessionID(2, 5, 1000), base);
    EXPECT_LT(fallbackSessionID(16383, 127, 0xFFFFFFFF), 1ull << 53);
    EXPECT_EQ(fallbackSessionID(0, 0, 0), 1u);
}

class UsbDeviceRecordRead : public ::testing::Test {
protected:
    UsbDeviceRecord read(const FakeUsbDevice& device, const UsbDeviceRecord* previous = nullptr) {
        return UsbDeviceRecord::read(tree, udev, device.name, device.devpath(), *tree.identity(device.devpath()),
                                     previous, [this] { return ++lastID; });
    }

    TempTree temp;
    FakeSysfs fake = temp.sysfs();
    SysfsTree tree{temp.root()};
    UdevProperties udev{tree};
    FakeLaptop laptop;
    EntryID lastID = 100;
};

TEST_F(UsbDeviceRecordRead, AHubIsReadWithItsInterfacesPortsAndSession) {
    laptop.build(fake);
    auto hub = read(laptop.hub);
    EXPECT_TRUE(hub.complete);
    EXPECT_EQ(hub.sessionID, 53000000u);
    EXPECT_EQ(hub.portDevpath, std::optional<std::string>(laptop.usb1.portPath(2)));
    ASSERT_EQ(hub.interfaces.size(), 1u);
    EXPECT_EQ(hub.interfaces[0].properties.at("bInterfaceClass").describe(), "9");
    ASSERT_EQ(hub.ports.size(), 4u);
    EXPECT_EQ(hub.ports[3].devpath, laptop.hub.portPath(4));

    auto root = read(laptop.usb1);
    EXPECT_TRUE(root.rootHub);
    EXPECT_EQ(root.ports.size(), 4u);
    EXPECT_EQ(root.properties.at("built-in").describe(), "<01>");
}

TEST_F(UsbDeviceRecordRead, ReadingTheSameAttachmentAgainKeepsEveryID) {
    laptop.build(fake);
    auto first = read(laptop.hub);
    auto again = read(laptop.hub, &first);
    EXPECT_EQ(again.id, first.id);
    EXPECT_EQ(again.interfaces[0].id, first.interfaces[0].id);
    EXPECT_EQ(again.ports[2].id, first.ports[2].id);

    fake.setAttribute(laptop.hub.devpath(), "uevent", "DEVTYPE=usb_device\nUSEC_INITIALIZED=99\n");
    auto replugged = read(laptop.hub, &first);
    EXPECT_NE(replugged.id, first.id);
    EXPECT_NE(replugged.ports[2].id, first.ports[2].id);
}

TEST_F(UsbDeviceRecordRead, ADeviceStillBeingCreatedIsIncomplete) {
    laptop.build(fake);
    auto bare = laptop.keyboard;
    bare.name = "1-2.1.2";
    bare.portDevpath.clear();  // no `port` link yet
    bare.interfaceClasses.clear();
    addUsbDevice(fake, bare);
    EXPECT_FALSE(read(bare).complete);
    fake.addLink(bare.devpath(), "port", laptop.innerHub.portPath(2));
    EXPECT_FALSE(read(bare).complete);  // configured, but no interface yet
    fake.addDevice(bare.interfaceDevpath(0), "usb", {{"bInterfaceClass", "03"}});
    EXPECT_TRUE(read(bare).complete);
}

TEST_F(UsbDeviceRecordRead, ADeviceOnAHardwiredPortIsBuiltInWhateverItsRemovableSays) {
    laptop.build(fake);
    EXPECT_EQ(read(laptop.flashDrive).properties.at("built-in").describe(), "<00>");
    fake.setAttribute(laptop.usb1.portPath(3), "connect_type", "hardwired");
    EXPECT_EQ(read(laptop.flashDrive).properties.at("built-in").describe(), "<01>");
}

TEST_F(UsbDeviceRecordRead, ABlankProductStringIsNoName) {
    laptop.build(fake);
    for (const char* blank : {"", " ", " \t "}) {
        fake.setAttribute(laptop.iPad.devpath(), "product", blank);
        fake.setAttribute(laptop.iPad.devpath(), "serial", blank);
        const auto properties = read(laptop.iPad).properties;
        EXPECT_EQ(properties.count("USB Product Name"), 0u) << '"' << blank << '"';
        EXPECT_EQ(properties.count("USB Serial Number"), 0u) << '"' << blank << '"';
    }
    fake.setAttribute(laptop.iPad.devpath(), "product", " iPad");
    EXPECT_EQ(read(laptop.iPad).properties.at("USB Product Name").describe(), "\" iPad\"");
}

}  // namespace
}  // namespace ampwell::platform::linux_
