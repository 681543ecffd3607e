#include "platform/linux/LinuxRegistry.hpp"
#include "tests/linux/FakeLaptop.hpp"
#include "tests/linux/Testbed.hpp"
#include "tests/unit/support/ManualClock.hpp"

#include <gtest/gtest.h>

#include <set>

namespace ampwell::platform::linux_ {
namespace {

constexpr double kStart = 1796000000.0;

std::string text(const RegistryEntry& entry, const std::string& key) {
    auto value = entry.property(key);
    return value ? value->describe() : "<absent>";
}

class LinuxRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs.clear();
        laptop.build(sysfs);
    }

    std::vector<std::unique_ptr<RegistryEntry>> devices() {
        auto match = registry.matchingServices("IOUSBHostDevice");
        EXPECT_EQ(match.result, kResultSuccess);
        return drain(*match.iterator);
    }

    std::unique_ptr<RegistryEntry> device(const std::string& product) {
        for (auto& entry : devices())
            if (text(*entry, "USB Product Name") == "\"" + product + "\"") return std::move(entry);
        return nullptr;
    }

    // "USB-C 1", "-" for a port without a type, up to the root of the IOPort plane.
    std::vector<std::string> portChain(const RegistryEntry& entry) {
        std::vector<std::string> chain;
        for (auto port = entry.parent(kPortPlane); port; port = port->parent(kPortPlane)) {
            auto type = port->property("ParentPortTypeDescription");
            chain.push_back(type ? *type->stringValue() + " " + text(*port, "ParentPortNumber") : "-");
        }
        return chain;
    }

    FakeSysfs& sysfs = testbedSysfs();
    FakeLaptop laptop;
    test::ManualClock clock{dateFromSecondsSince1970(kStart)};
    LinuxRegistry registry{kDefaultSysfsRoot, clock, nullptr};
};

TEST_F(LinuxRegistryTest, UsbDevicesComeInBusOrderWithTheirStringsNumbersAndSessions) {
    auto all = devices();
    std::vector<std::string> names;
    std::set<EntryID> ids;
    for (const auto& entry : all) {
        names.push_back(text(*entry, "USB Product Name"));
        EXPECT_NE(entry->entryID(), 0u);
        ids.insert(entry->entryID());
        EXPECT_EQ(entry->className(), "IOUSBHostDevice");
        EXPECT_TRUE(entry->inPlane(kServicePlane));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"\"xHCI Host Controller\"", "\"iPad\"", "\"USB2.1 Hub\"",
                                                "\"USB2.0 Hub\"", "\"USB Keyboard\"", "\"Flash Disk\"",
                                                "\"Integrated Camera\"", "\"xHCI Host Controller\""}));
    EXPECT_EQ(ids.size(), all.size());

    auto iPad = device("iPad");
    ASSERT_TRUE(iPad);
    EXPECT_EQ(text(*iPad, "USB Serial Number"), "\"00008103001A2B3C4D5E6F70\"");
    EXPECT_EQ(text(*iPad, "idVendor"), "1452");
    EXPECT_EQ(text(*iPad, "bDeviceClass"), "0");
    EXPECT_EQ(text(*iPad, "sessionID"), "52000000");
    EXPECT_EQ(text(*iPad, "built-in"), "<00>");
    EXPECT_EQ(text(*iPad, "USB Address"), "2");
    EXPECT_EQ(text(*iPad, "USB Bus Number"), "1");
    EXPECT_EQ(text(*device("USB2.1 Hub"), "bDeviceClass"), "9");
    // No serial string on the device: no key, rather than an empty one.
    EXPECT_EQ(text(*device("USB Keyboard"), "USB Serial Number"), "<absent>");
    // Root hubs and devices on hard-wired ports are part of the machine.
    EXPECT_EQ(text(*all.front(), "built-in"), "<01>");
    EXPECT_EQ(text(*device("Integrated Camera"), "built-in"), "<01>");
    // Without a udev initialisation time the session still comes out as a positive whole number.
    auto flash = device("Flash Disk")->property("sessionID");
    ASSERT_TRUE(flash && flash->number());
    EXPECT_TRUE(flash->number()->whole);
    EXPECT_GT(flash->number()->value, 0);
}

TEST_F(LinuxRegistryTest, InterfacesAreServiceChildrenWithTheirClass) {
    auto iPad = device("iPad");
    auto interfaces = iPad->children(kServicePlane);
    ASSERT_EQ(interfaces.size(), 2u);
    EXPECT_EQ(interfaces[0]->className(), "IOUSBHostInterface");
    EXPECT_TRUE(interfaces[0]->conformsTo("IOUSBHostInterface"));
    EXPECT_FALSE(interfaces[0]->conformsTo("IOUSBHostDevice"));
    EXPECT_EQ(text(*interfaces[0], "bInterfaceClass"), "6");
    EXPECT_EQ(text(*interfaces[1], "bInterfaceClass"), "255");
    EXPECT_EQ(interfaces[1]->parent(kServicePlane)->entryID(), iPad->entryID());

    auto keyboard = device("USB Keyboard");
    EXPECT_EQ(text(*keyboard->parent(kServicePlane), "USB Product Name"), "\"USB2.0 Hub\"");
    EXPECT_EQ(keyboard->parent(kServicePlane)->parent(kServicePlane)->parent(kServicePlane)->className(),
              "IOUSBHostDevice");  // the root hub
    EXPECT_EQ(devices().front()->parent(kServicePlane), nullptr);
}

TEST_F(LinuxRegistryTest, PortPlaneNamesTypeCConnectorsWithTheirNumber) {
    EXPECT_EQ(portChain(*device("iPad")), (std::vector<std::string>{"USB-C 1"}));
    EXPECT_EQ(text(*device("iPad")->parent(kPortPlane), "PortName"), "<absent>");
    // Behind two hubs: two untyped hub ports, then the root port wired to Type-C port1.
    EXPECT_EQ(portChain(*device("USB Keyboard")), (std::vector<std::string>{"-", "-", "USB-C 2"}));
    // A USB-A socket is a plain USB port; a hard-wired one is no port a user could plug into.
    EXPECT_EQ(portChain(*device("Flash Disk")), (std::vector<std::string>{"USB 103"}));
    EXPECT_EQ(portChain(*device("Integrated Camera")), (std::vector<std::string>{"-"}));
    EXPECT_FALSE(devices().front()->inPlane(kPortPlane));
    EXPECT_TRUE(device("iPad")->inPlane(kPortPlane));
    // The root port lists what is plugged into it.
    auto port = device("iPad")->parent(kPortPlane);
    auto children = port->children(kPortPlane);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0]->entryID(), device("iPad")->entryID());
}

TEST_F(LinuxRegistryTest, OnAComputerWithoutTypeCTheRootPortsAreNamedPlainUsbPorts) {
    // A desktop PC: no Type-C class at all. usb1: a hub on port 1 (a mouse behind it), the iPad on
    // port 2, a keyboard on port 3, Bluetooth hard-wired to port 4; usb2: port 1 unused, port 2
    // with no connection type.
    sysfs.clear();
    sysfs.addDirectory(FakeLaptop::controller);
    auto usb1 = laptop.usb1, usb2 = laptop.usb2;
    addUsbDevice(sysfs, usb1);
    addUsbDevice(sysfs, usb2);
    sysfs.setAttribute(usb1.portPath(4), "connect_type", "hardwired");
    sysfs.setAttribute(usb2.portPath(1), "connect_type", "not used");
    sysfs.removeAttribute(usb2.portPath(2), "connect_type");
    auto hub = FakeLaptop::device("1-1", usb1.devpath(), usb1.portPath(1), "USB2.1 Hub", 0x05e3, 0x0610, 9, 1, 2, {9},
                                  "51000000");
    hub.hubPorts = 4;
    auto mouse =
        FakeLaptop::device("1-1.1", hub.devpath(), hub.portPath(1), "Mouse", 0x046d, 0xc077, 0, 1, 3, {3}, "51100000");
    auto iPad = FakeLaptop::device("1-2", usb1.devpath(), usb1.portPath(2), "iPad", 0x05ac, 0x12ab, 0, 1, 4, {6, 0xff},
                                   "52000000");
    auto keyboard = FakeLaptop::device("1-3", usb1.devpath(), usb1.portPath(3), "USB Keyboard", 0x046d, 0xc31c, 0, 1, 5,
                                       {3}, "53000000");
    auto bluetooth = FakeLaptop::device("1-4", usb1.devpath(), usb1.portPath(4), "Bluetooth", 0x8087, 0x0a2b, 0xe0, 1,
                                        6, {0xe0}, "54000000");
    for (const auto* each : {&hub, &mouse, &iPad, &keyboard, &bluetooth}) addUsbDevice(sysfs, *each);

    EXPECT_EQ(portChain(*device("iPad")), (std::vector<std::string>{"USB 102"}));
    EXPECT_EQ(portChain(*device("USB Keyboard")), (std::vector<std::string>{"USB 103"}));
    EXPECT_EQ(text(*device("iPad")->parent(kPortPlane), "PortName"), "\"1-2\"");
    EXPECT_EQ(text(*device("USB Keyboard")->parent(kPortPlane), "PortName"), "\"1-3\"");
    EXPECT_EQ(portChain(*device("Mouse")), (std::vector<std::string>{"-", "USB 101"}));
    EXPECT_EQ(portChain(*device("Bluetooth")), (std::vector<std::string>{"-"}));
    EXPECT_EQ(text(*device("Bluetooth")->parent(kPortPlane), "PortName"), "<absent>");

    std::set<std::string> named;
    for (const auto& port : drain(*registry.matchingServices("IOUSBHostPort").iterator))
        if (port->property("PortName")) named.insert(text(*port, "PortName"));
    EXPECT_EQ(named, (std::set<std::string>{"\"1-1\"", "\"1-2\"", "\"1-3\"", "\"2-2\""}));
}

TEST_F(LinuxRegistryTest, PowerManagerListsSourcePortsWithPartnersAndTheAdvertisedLimit) {
    auto battery = registry.firstMatchingService("AppleSmartBattery");
    ASSERT_TRUE(battery);
    EXPECT_EQ(text(*battery, "PowerOutDetails"),
              "[{\"ConfiguredCurrent\": 3000, \"ConfiguredVoltage\": 5000, \"PortIndex\": 1}]");
    EXPECT_EQ(text(*battery, "UpdateTime"), "1796000000");
    EXPECT_EQ(registry.entry(battery->entryID())->className(), "AppleSmartBattery");

    sysfs.setAttribute(FakeLaptop::typeCPort(0), "power_operation_mode", "1.5A");
    EXPECT_EQ(text(*battery, "PowerOutDetails"),
              "[{\"ConfiguredCurrent\": 1500, \"ConfiguredVoltage\": 5000, \"PortIndex\": 1}]");
    // USB default current and a PD contract are not in sysfs: the port is listed without a limit.
    sysfs.setAttribute(FakeLaptop::typeCPort(0), "power_operation_mode", "usb_power_delivery");
    EXPECT_EQ(text(*battery, "PowerOutDetails"), "[{\"PortIndex\": 1}]");
    sysfs.setAttribute(FakeLaptop::typeCPort(0), "power_operation_mode", "default");
    EXPECT_EQ(text(*battery, "PowerOutDetails"), "[{\"PortIndex\": 1}]");
    // Port1 becomes a source too; port0 loses its partner.
    sysfs.setAttribute(FakeLaptop::typeCPort(1), "power_role", "[source] sink");
    sysfs.removeDevice(FakeLaptop::partner(0));
    EXPECT_EQ(text(*battery, "PowerOutDetails"), "[{\"PortIndex\": 2}]");
}

TEST_F(LinuxRegistryTest, MeasurementsComeOnlyFromASupplyOnTheSourcePortItself) {
    const std::string onPort0 = FakeLaptop::typeCPort(0) + "/power_supply/port0-source";
    sysfs.addDevice(onPort0, "power_supply",
                    {{"online", "1"}, {"voltage_now", "5120000"}, {"current_now", "1840000"}, {"power_now", "9420800"}});
    sysfs.addLink(onPort0, "device", FakeLaptop::typeCPort(0));
    // A supply of the sink port and a controller-wide one describe power coming in: ignored.
    const std::string onPort1 = FakeLaptop::typeCPort(1) + "/power_supply/port1-sink";
    sysfs.addDevice(onPort1, "power_supply", {{"online", "1"}, {"voltage_now", "20000000"}});
    sysfs.addLink(onPort1, "device", FakeLaptop::typeCPort(1));
    sysfs.addDevice("devices/platform/USBC000:00/power_supply/ucsi-source-psy-USBC000:001", "power_supply",
                    {{"online", "1"}, {"voltage_now", "15000000"}});

    auto battery = registry.firstMatchingService("AppleSmartBattery");
    EXPECT_EQ(text(*battery, "PowerOutDetails"),
              "[{\"AdapterVoltage\": 5120, \"ConfiguredCurrent\": 3000, \"ConfiguredVoltage\": 5000, "
              "\"Current\": 1840, \"PortIndex\": 1, \"Watts\": 9420.8}]");
    sysfs.setAttribute(onPort0, "online", "0");
    EXPECT_EQ(text(*battery, "PowerOutDetails"),
              "[{\"ConfiguredCurrent\": 3000, \"ConfiguredVoltage\": 5000, \"PortIndex\": 1}]");
}

TEST_F(LinuxRegistryTest, WithoutTypeCPortsThereIsNoPowerManager) {
    const EntryID id = registry.firstMatchingService("AppleSmartBattery")->entryID();
    sysfs.removeDevice(FakeLaptop::typeCPort(0));
    sysfs.removeDevice(FakeLaptop::typeCPort(1));
    EXPECT_EQ(registry.firstMatchingService("AppleSmartBattery"), nullptr);
    EXPECT_EQ(registry.entry(id), nullptr);
    EXPECT_TRUE(drain(*registry.matchingServices("AppleSmartBattery").iterator).empty());
}

TEST_F(LinuxRegistryTest, EntryIDsStayWhileAttachedAndAreNewAfterARePlug) {
    const EntryID before = device("iPad")->entryID();
    EXPECT_EQ(device("iPad")->entryID(), before);
    const EntryID interface = device("iPad")->children(kServicePlane)[0]->entryID();

    sysfs.removeDevice(laptop.iPad.devpath());
    EXPECT_EQ(device("iPad"), nullptr);
    EXPECT_EQ(registry.entry(before), nullptr);
    auto again = laptop.iPad;
    again.address = 9;
    again.usecInitialized = "99000000";
    addUsbDevice(sysfs, again);

    auto iPad = device("iPad");
    EXPECT_NE(iPad->entryID(), before);
    EXPECT_NE(iPad->children(kServicePlane)[0]->entryID(), interface);
    EXPECT_EQ(text(*iPad, "sessionID"), "99000000");
    EXPECT_EQ(registry.entry(iPad->entryID())->entryID(), iPad->entryID());

    // Without udev's time stamp the session still changes with the re-plug.
    const std::string flashSession = text(*device("Flash Disk"), "sessionID");
    sysfs.removeDevice(laptop.flashDrive.devpath());
    auto flash = laptop.flashDrive;
    flash.address = 12;
    addUsbDevice(sysfs, flash);
    EXPECT_NE(text(*device("Flash Disk"), "sessionID"), flashSession);
}

TEST_F(LinuxRegistryTest, ADeviceSeenHalfCreatedIsCompletedUnderTheSameID) {
    auto late = laptop.mouse;
    late.interfaceClasses = {};
    addUsbDevice(sysfs, late);  // configured, but the interfaces are not there yet
    const EntryID id = device("Mouse")->entryID();
    EXPECT_TRUE(device("Mouse")->children(kServicePlane).empty());

    sysfs.addDevice(late.interfaceDevpath(0), "usb", {{"bInterfaceClass", "03"}}, {{"DEVTYPE", "usb_interface"}});
    auto mouse = device("Mouse");
    EXPECT_EQ(mouse->entryID(), id);
    ASSERT_EQ(mouse->children(kServicePlane).size(), 1u);
    EXPECT_EQ(text(*mouse->children(kServicePlane)[0], "bInterfaceClass"), "3");
}

TEST_F(LinuxRegistryTest, AnIteratorTurnsInvalidWhenDevicesChangeDuringTheWalk) {
    auto match = registry.matchingServices("IOUSBHostDevice");
    ASSERT_TRUE(match.iterator->next());
    EXPECT_TRUE(match.iterator->isValid());
    sysfs.removeDevice(laptop.flashDrive.devpath());
    EXPECT_FALSE(match.iterator->isValid());
    addUsbDevice(sysfs, laptop.flashDrive);  // back as it was: still a change, and it stays invalid
    EXPECT_FALSE(match.iterator->isValid());

    auto fresh = registry.matchingServices("IOUSBHostDevice");
    drain(*fresh.iterator);
    EXPECT_TRUE(fresh.iterator->isValid());
}

TEST_F(LinuxRegistryTest, ClassesLinuxCannotProvideMatchNothing) {
    auto match = registry.matchingServices("IOPortTransportComponentCCUSBPDSOP");
    EXPECT_EQ(match.result, kResultSuccess);
    EXPECT_EQ(match.iterator->next(), nullptr);
    EXPECT_EQ(registry.firstMatchingService("IOPortTransportComponentCCUSBPDSOP"), nullptr);
    EXPECT_EQ(registry.entry(0), nullptr);
    // Without a main queue there is no notification port.
    EXPECT_EQ(registry.createNotificationPort(), nullptr);
}

}  // namespace
}  // namespace ampwell::platform::linux_
