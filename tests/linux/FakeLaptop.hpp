#pragma once

// A laptop as sysfs shows it, written with FakeSysfs:
// - an xHCI controller with a USB 2 root hub (usb1, four ports) and a USB 3 root hub (usb2, two
//   ports); usb1-port1/usb2-port1 are wired to Type-C port0, usb1-port2/usb2-port2 to port1,
//   usb1-port3 is a USB-A socket, usb1-port4 is hard-wired to the built-in camera;
// - Type-C port0 in the source role with a partner at 3.0 A, an iPad (vendor 0x05ac) behind it;
// - Type-C port1 in the sink role with a partner (a powered dock) and a hub chain behind it:
//   hub 1-2 → hub 1-2.1 → keyboard 1-2.1.1;
// - a USB-A flash drive on usb1-port3 without a udev initialisation time;
// - a mouse for the inner hub's second port, which build() leaves out: tests plug it.

#include "tests/linux/FakeSysfs.hpp"
#include "tests/linux/Testbed.hpp"

#include <fmt/format.h>

#include <optional>
#include <string>
#include <vector>

namespace ampwell::platform::linux_ {

struct FakeUsbDevice {
    std::string name;           // kernel name: "usb1", "1-2.1.1"
    std::string parentDevpath;  // the hub (or controller) directory it sits in
    std::string portDevpath;    // the hub port it is plugged into; empty for a root hub
    std::string product;
    std::string manufacturer;
    std::string serial;  // empty: no serial attribute
    unsigned vendor = 0;
    unsigned productID = 0;
    unsigned deviceClass = 0;
    unsigned bus = 1;
    unsigned address = 1;
    std::vector<unsigned> interfaceClasses;
    int hubPorts = 0;                         // ports created below the first interface
    std::optional<std::string> usecInitialized;  // udev's USEC_INITIALIZED
    std::string removable = "removable";

    std::string devpath() const { return parentDevpath + "/" + name; }
    std::string interfaceDevpath(std::size_t index) const {
        return fmt::format("{}/{}:1.{}", devpath(), rootHubNumber() ? fmt::format("{}-0", *rootHubNumber()) : name, index);
    }
    std::string portPath(int number) const {
        return fmt::format("{}/{}-port{}", interfaceDevpath(0), name, number);
    }
    std::optional<unsigned> rootHubNumber() const {
        if (name.rfind("usb", 0) != 0) return std::nullopt;
        return static_cast<unsigned>(std::stoul(name.substr(3)));
    }
};

// Writes the device, its interfaces and (for a hub) its ports; returns its devpath.
inline std::string addUsbDevice(const FakeSysfs& sysfs, const FakeUsbDevice& device) {
    const std::string devpath = device.devpath();
    FakeSysfs::Values attributes{
        {"busnum", std::to_string(device.bus)},
        {"devnum", std::to_string(device.address)},
        {"idVendor", fmt::format("{:04x}", device.vendor)},
        {"idProduct", fmt::format("{:04x}", device.productID)},
        {"bDeviceClass", fmt::format("{:02x}", device.deviceClass)},
        {"bConfigurationValue", "1"},
        {"removable", device.removable},
    };
    if (!device.product.empty()) attributes.emplace_back("product", device.product);
    if (!device.manufacturer.empty()) attributes.emplace_back("manufacturer", device.manufacturer);
    if (!device.serial.empty()) attributes.emplace_back("serial", device.serial);
    FakeSysfs::Values properties{{"DEVTYPE", "usb_device"},
                                 {"BUSNUM", fmt::format("{:03}", device.bus)},
                                 {"DEVNUM", fmt::format("{:03}", device.address)}};
    if (device.usecInitialized) properties.emplace_back("USEC_INITIALIZED", *device.usecInitialized);
    sysfs.addDevice(devpath, "usb", attributes, properties);
    if (!device.portDevpath.empty()) sysfs.addLink(devpath, "port", device.portDevpath);
    for (std::size_t i = 0; i < device.interfaceClasses.size(); ++i) {
        sysfs.addDevice(device.interfaceDevpath(i), "usb",
                        {{"bInterfaceClass", fmt::format("{:02x}", device.interfaceClasses[i])},
                         {"bInterfaceNumber", fmt::format("{:02x}", i)}},
                        {{"DEVTYPE", "usb_interface"}});
    }
    for (int port = 1; port <= device.hubPorts; ++port)
        sysfs.addDirectory(device.portPath(port), {{"connect_type", "hotplug"}});
    return devpath;
}

// Writes the device as addUsbDevice does and announces it and its interfaces as udev would.
inline void plugUsbDevice(const FakeSysfs& sysfs, const FakeUsbDevice& device) {
    addUsbDevice(sysfs, device);
    sendUevent(device.devpath(), "add");
    for (std::size_t i = 0; i < device.interfaceClasses.size(); ++i) sendUevent(device.interfaceDevpath(i), "add");
}

struct FakeLaptop {
    static constexpr const char* controller = "devices/pci0000:00/0000:00:14.0";
    static constexpr const char* typeCParent = "devices/platform/USBC000:00/typec";

    FakeUsbDevice usb1, usb2, iPad, hub, innerHub, keyboard, flashDrive, camera, mouse;

    FakeLaptop() {
        usb1 = device("usb1", controller, "", "xHCI Host Controller", 0x1d6b, 0x0002, 9, 1, 1, {9}, "1100000");
        usb1.manufacturer = "Linux 6.1.0 xhci-hcd";
        usb1.hubPorts = 4;
        usb2 = device("usb2", controller, "", "xHCI Host Controller", 0x1d6b, 0x0003, 9, 2, 1, {9}, "1100001");
        usb2.hubPorts = 2;
        iPad = device("1-1", usb1.devpath(), usb1.portPath(1), "iPad", 0x05ac, 0x12ab, 0, 1, 2, {6, 0xff}, "52000000");
        iPad.manufacturer = "Apple Inc.";
        iPad.serial = "00008103001A2B3C4D5E6F70";
        hub = device("1-2", usb1.devpath(), usb1.portPath(2), "USB2.1 Hub", 0x05e3, 0x0610, 9, 1, 3, {9}, "53000000");
        hub.hubPorts = 4;
        innerHub = device("1-2.1", hub.devpath(), hub.portPath(1), "USB2.0 Hub", 0x05e3, 0x0608, 9, 1, 4, {9},
                          "53100000");
        innerHub.hubPorts = 2;
        keyboard = device("1-2.1.1", innerHub.devpath(), innerHub.portPath(1), "USB Keyboard", 0x046d, 0xc31c, 0, 1,
                          5, {3, 3}, "53200000");
        flashDrive = device("1-3", usb1.devpath(), usb1.portPath(3), "Flash Disk", 0x0951, 0x1666, 0, 1, 6, {8},
                            std::nullopt);
        flashDrive.serial = "FD0123";
        camera = device("1-4", usb1.devpath(), usb1.portPath(4), "Integrated Camera", 0x04f2, 0xb6d9, 0xef, 1, 7,
                        {0x0e, 0x0e}, "1200000");
        camera.removable = "fixed";
        mouse = device("1-2.1.2", innerHub.devpath(), innerHub.portPath(2), "Mouse", 0x046d, 0xc077, 0, 1, 8, {3},
                       "70000000");
    }

    static FakeUsbDevice device(std::string name, std::string parent, std::string port, std::string product,
                                unsigned vendor, unsigned productID, unsigned deviceClass, unsigned bus,
                                unsigned address, std::vector<unsigned> interfaces, std::optional<std::string> usec) {
        FakeUsbDevice d;
        d.name = std::move(name);
        d.parentDevpath = std::move(parent);
        d.portDevpath = std::move(port);
        d.product = std::move(product);
        d.vendor = vendor;
        d.productID = productID;
        d.deviceClass = deviceClass;
        d.bus = bus;
        d.address = address;
        d.interfaceClasses = std::move(interfaces);
        d.usecInitialized = std::move(usec);
        return d;
    }

    static std::string typeCPort(int index) { return fmt::format("{}/port{}", typeCParent, index); }
    static std::string partner(int index) { return fmt::format("{}/port{}-partner", typeCPort(index), index); }

    void addTypeCPort(const FakeSysfs& sysfs, int index, const std::string& powerRole, const std::string& mode) const {
        sysfs.addDevice(typeCPort(index), "typec",
                        {{"power_role", powerRole}, {"data_role", "[host] device"}, {"power_operation_mode", mode}},
                        {{"DEVTYPE", "typec_port"}});
    }
    void addPartner(const FakeSysfs& sysfs, int index) const {
        sysfs.addDevice(partner(index), "typec", {{"type", ""}, {"supports_usb_power_delivery", "no"}},
                        {{"DEVTYPE", "typec_partner"}});
    }

    // The whole laptop with everything but the mouse attached.
    void build(const FakeSysfs& sysfs) const {
        sysfs.addDirectory(controller);
        addTypeCPort(sysfs, 0, "[source] sink", "3.0A");
        addPartner(sysfs, 0);
        addTypeCPort(sysfs, 1, "source [sink]", "usb_power_delivery");
        addPartner(sysfs, 1);
        addUsbDevice(sysfs, usb1);
        addUsbDevice(sysfs, usb2);
        sysfs.addLink(usb1.portPath(1), "connector", typeCPort(0));
        sysfs.addLink(usb2.portPath(1), "connector", typeCPort(0));
        sysfs.addLink(usb1.portPath(2), "connector", typeCPort(1));
        sysfs.addLink(usb2.portPath(2), "connector", typeCPort(1));
        sysfs.setAttribute(usb1.portPath(4), "connect_type", "hardwired");
        for (const auto* device : {&iPad, &hub, &innerHub, &keyboard, &flashDrive, &camera}) addUsbDevice(sysfs, *device);
    }
};

}  // namespace ampwell::platform::linux_
