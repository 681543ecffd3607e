#include "app/assessment/ChargeMonitor.hpp"
#include "app/assessment/DeviceAccounts.hpp"
#include "app/batteries/DeviceBatteryReader.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "platform/linux/LinuxRegistry.hpp"
#include "platform/sim/SimMobileDeviceService.hpp"
#include "tests/linux/FakeLaptop.hpp"
#include "tests/linux/Testbed.hpp"
#include "tests/unit/support/ManualClock.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace ampwell::platform::linux_ {
namespace {

class LinuxTelemetryTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs.clear();
        laptop.build(sysfs);
    }

    FakeSysfs& sysfs = testbedSysfs();
    FakeLaptop laptop;
    test::ManualClock clock{dateFromSecondsSince1970(1796000000.0)};
    LinuxRegistry registry{kDefaultSysfsRoot, clock, nullptr};
    BootIdentity boot{[] { return std::optional<std::int64_t>(1795990000); }};
    Telemetry telemetry{registry, clock, boot};
};

TEST_F(LinuxTelemetryTest, TheFakedLaptopReadsAsTwoUsbCPortsWithTheAdvertisedLimitOnlyAndItsUsbAPort) {
    clock.advanceTo(5.0);
    auto snapshot = toJSON(telemetry.read());
    // The flash disk was plugged when the testbed started: its session number is that moment's.
    ASSERT_EQ(snapshot.at("ports").size(), 3u);
    snapshot["ports"][2]["connections"][0].erase("connectionID");
    const auto expected = nlohmann::json::parse(R"({
      "sampledAt": "2026-11-30T00:53:25Z",
      "powerDataUpdatedAt": 817692800.0,
      "batteries": [],
      "ports": [
        {"port": 1, "devices": ["iPad"], "configuredWatts": 15.0,
         "connections": [{"name": "iPad", "serial": "00008103001A2B3C4D5E6F70",
                          "connectionID": "1795990000:52000000"}]},
        {"port": 2, "devices": ["USB2.1 Hub", "USB2.0 Hub", "USB Keyboard"],
         "connections": [{"name": "USB2.1 Hub", "serial": "", "connectionID": "1795990000:53000000"},
                         {"name": "USB2.0 Hub", "serial": "", "connectionID": "1795990000:53100000"},
                         {"name": "USB Keyboard", "serial": "", "connectionID": "1795990000:53200000"}]},
        {"port": 10103, "name": "USB 1-3", "devices": ["Flash Disk"],
         "connections": [{"name": "Flash Disk", "serial": "FD0123"}]}
      ]})");
    EXPECT_EQ(snapshot, expected) << snapshot.dump(2);
}

TEST_F(LinuxTelemetryTest, WithNothingOnASourcePortTheLimitGoesAndTheDevicesStay) {
    sysfs.removeDevice(FakeLaptop::partner(0));
    const auto snapshot = telemetry.read();
    ASSERT_EQ(snapshot.ports.size(), 3u);
    EXPECT_FALSE(snapshot.ports[0].configuredWatts);
    EXPECT_EQ(snapshot.ports[0].devices, (std::vector<std::string>{"iPad"}));
    EXPECT_FALSE(snapshot.error);
}

TEST_F(LinuxTelemetryTest, AComputerWithoutTypeCPortsSaysItGivesNoOutputFiguresAndListsItsDevicesOnPlainPorts) {
    sysfs.removeDevice(FakeLaptop::typeCPort(0));
    sysfs.removeDevice(FakeLaptop::typeCPort(1));
    const auto snapshot = telemetry.read();
    // The computer is not called a Mac.
    EXPECT_EQ(snapshot.error, std::optional<std::string>("这台电脑未提供 USB 输出功率信息"));
    // Without connector links nothing is on a USB-C port: every device is on the root port it is
    // plugged into, named as the kernel names it, with no figures.
    ASSERT_FALSE(snapshot.ports.empty());
    bool iPadListed = false;
    for (const auto& port : snapshot.ports) {
        ASSERT_TRUE(port.name) << port.port;
        EXPECT_EQ(port.name->rfind("USB ", 0), 0u) << *port.name;
        EXPECT_FALSE(port.watts);
        for (const auto& name : port.devices) iPadListed = iPadListed || name == "iPad";
    }
    EXPECT_TRUE(iPadListed);
}

// A desktop PC: no Type-C class, the iPad on a root port. Its battery and its own account come
// from a scripted mobile-device service, and the whole chain gives the verdict the computer alone
// never could.
TEST_F(LinuxTelemetryTest, AnIPadOnAPlainPortOfADesktopIsJudgedByItsOwnAccount) {
    sysfs.removeDevice(FakeLaptop::typeCPort(0));
    sysfs.removeDevice(FakeLaptop::typeCPort(1));
    sim::SimMobileDevice iPad;
    iPad.identifier = "00008103-001A2B3C4D5E6F70";
    iPad.interfaceType = 1;
    iPad.values[""] = {{"DeviceClass", PropertyValue::string("iPad")}};
    iPad.values["com.apple.mobile.battery"] = {{"BatteryCurrentCapacity", PropertyValue::wholeNumber(64)},
                                               {"BatteryIsCharging", PropertyValue::boolean(true)},
                                               {"ExternalConnected", PropertyValue::boolean(true)}};
    iPad.ioregistry = std::map<std::string, PropertyDictionary>{
        {"AppleSmartBattery",
         {{"PowerTelemetryData", PropertyValue::dictionary({{"SystemPowerIn", PropertyValue::wholeNumber(2380)}})}}}};
    sim::SimMobileDeviceList devices({iPad});
    sim::SimMobileDeviceService service(devices, clock, true);

    Snapshot snapshot = telemetry.read();
    ASSERT_EQ(silentDeviceSerials(snapshot).count("00008103001a2b3c4d5e6f70"), 1u);
    DeviceBatteryReader reader(service, registry, clock);
    snapshot.batteries = reader.readAll(silentDeviceSerials(snapshot));
    applyDeviceAccounts(snapshot, clock.now());

    const auto port = std::find_if(snapshot.ports.begin(), snapshot.ports.end(),
                                   [](const PortReading& p) { return p.devices == std::vector<std::string>{"iPad"}; });
    ASSERT_NE(port, snapshot.ports.end());
    EXPECT_EQ(port->name, "USB 1-1");
    EXPECT_EQ(port->watts, 2.38);
    EXPECT_EQ(port->source, FigureSource::deviceInput);
    ChargeMonitor monitor;
    const ChargeStatus status = monitor.update(snapshot, snapshot.batteries, 10, clock.now());
    EXPECT_EQ(status.message, "iPad 64% · 充电中 · 低功率");
    EXPECT_EQ(status.state, IndicatorState::low);
}

}  // namespace
}  // namespace ampwell::platform::linux_
