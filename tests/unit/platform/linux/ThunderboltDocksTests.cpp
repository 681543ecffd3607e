#include "platform/linux/ThunderboltDocks.hpp"

#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "platform/linux/LinuxRegistry.hpp"
#include "tests/linux/FakeLaptop.hpp"
#include "tests/unit/platform/linux/TempTree.hpp"
#include "tests/unit/support/FixedClock.hpp"

#include <gtest/gtest.h>

namespace ampwell::platform::linux_ {
namespace {

// The laptop of FakeLaptop with an integrated Thunderbolt host and a dock on Type-C port1, laid out
// after published listings of real machines: the host's NHI at 0000:00:0d.2 with its tunnel root
// port 0000:00:07.0, and a dock's PCIe switch 0000:3b:00.0 → 0000:3c:04.0 leading to the dock's
// own xHCI 0000:3d:00.0, whose USB 2 bus has two ports.
class ThunderboltDockTest : public ::testing::Test {
protected:
    static constexpr const char* nhi = "devices/pci0000:00/0000:00:0d.2";
    static constexpr const char* controller = "devices/pci0000:00/0000:00:07.0/0000:3b:00.0/0000:3c:04.0/0000:3d:00.0";

    ThunderboltDockTest() {
        laptop.build(fake);
        const std::string devlink = "devices/virtual/devlink/pci:0000:00:07.0--pci:0000:00:0d.2";
        fake.addDirectory(devlink);
        fake.addDirectory(nhi);
        fake.addLink(nhi, "consumer:pci:0000:00:07.0", devlink);
        fake.addDevice(domain(), "thunderbolt", {{"security", "user"}});
        fake.addDevice(host(), "thunderbolt", {{"device_name", "Host"}});
        for (const char* port : {"usb4_port1", "usb4_port3"}) fake.addDirectory(host() + "/" + port, {{"link", "none"}});
        fake.addLink(host() + "/usb4_port1", "connector", FakeLaptop::typeCPort(1));
        fake.addDevice(host() + "/0-1", "thunderbolt", {{"device_name", "Dock"}});
        auto usb3 = FakeLaptop::device("usb3", controller, "", "xHCI Host Controller", 0x1d6b, 2, 9, 3, 1, {9}, "1300000");
        usb3.hubPorts = 2;
        addUsbDevice(fake, usb3);
        addUsbDevice(fake, FakeLaptop::device("3-1", usb3.devpath(), usb3.portPath(1), "Dock Card Reader", 0x0bda, 0x0328,
                                              0, 3, 2, {8}, "61000000"));
    }

    static std::string domain() { return std::string(nhi) + "/domain0"; }
    static std::string host() { return domain() + "/0-0"; }

    // The devices listed under each Type-C port, by name.
    std::map<int, std::vector<std::string>> ports() {
        LinuxRegistry registry(temp.root(), clock, nullptr);
        const BootIdentity boot([] { return std::optional<std::int64_t>(1796590000); });
        std::map<int, std::vector<std::string>> result;
        for (const auto& [port, devices] : Telemetry(registry, clock, boot).connectedDevices())
            for (const auto& device : devices) result[port].push_back(device.name);
        return result;
    }

    TempTree temp;
    FakeSysfs fake = temp.sysfs();
    FakeLaptop laptop;
    testing::FixedClock clock;
};

TEST_F(ThunderboltDockTest, TheDocksDevicesAreListedUnderThePortItsUsb4PortIsWiredTo) {
    EXPECT_EQ(ports()[2], (std::vector<std::string>{"USB2.1 Hub", "USB2.0 Hub", "USB Keyboard", "Dock Card Reader"}));
    // Without the link, the one partner in Thunderbolt mode tells the same.
    fake.removeAttribute(host() + "/usb4_port1", "connector");
    EXPECT_EQ(ThunderboltDocks::typeCPortOf(SysfsTree(temp.root()), controller), std::nullopt);
    fake.addDirectory(FakeLaptop::partner(1) + "/port1-partner.0", {{"svid", "8087"}, {"active", "yes"}});
    EXPECT_EQ(ThunderboltDocks::typeCPortOf(SysfsTree(temp.root()), controller), std::optional<int>(1));
}

TEST_F(ThunderboltDockTest, DocksOnTwoPortsOfOneHostLeaveTheirDevicesUnplaced) {
    fake.addDevice(host() + "/0-3", "thunderbolt", {{"device_name", "Second dock"}});
    EXPECT_EQ(ports()[2], (std::vector<std::string>{"USB2.1 Hub", "USB2.0 Hub", "USB Keyboard"}));
}

TEST_F(ThunderboltDockTest, AnotherComputerLinkedToTheHostIsNoSecondDock) {
    fake.addDevice(host() + "/0-3", "thunderbolt", {{"device_name", "Other computer"}},
                   {{"DEVTYPE", "thunderbolt_xdomain"}});
    EXPECT_EQ(ports()[2], (std::vector<std::string>{"USB2.1 Hub", "USB2.0 Hub", "USB Keyboard", "Dock Card Reader"}));
}

}  // namespace
}  // namespace ampwell::platform::linux_
