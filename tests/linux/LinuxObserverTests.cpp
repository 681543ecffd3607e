#include "app/model/PowerReadingObserver.hpp"
#include "app/model/USBConnectionObserver.hpp"
#include "tests/linux/LaptopOnLoopTest.hpp"

#include <gtest/gtest.h>

#include <filesystem>

namespace ampwell::platform::linux_ {
namespace {

// The two observers of the application on the Linux registry: one callback per batch of udev
// events, nothing for what was attached at start.
class LinuxObserverTest : public LaptopOnLoopTest {
protected:
    void TearDown() override {
        usb.stop();
        power.stop();
        LaptopOnLoopTest::TearDown();
    }

    USBConnectionObserver usb{registry};
    PowerReadingObserver power{registry};
};

TEST_F(LinuxObserverTest, PluggingAndUnpluggingGiveOneCallbackPerBatch) {
    int changes = 0;
    ASSERT_TRUE(usb.start([&] { ++changes; }));
    queue.runUntil(realClock.now() + Seconds(0.1));
    EXPECT_EQ(changes, 0);  // the eight devices already there are no event

    plugUsbDevice(sysfs, laptop.mouse);
    runUntilCalled(changes, 0);
    EXPECT_EQ(changes, 1);

    // The dock goes with both hubs, the keyboard and the mouse: one batch, one callback.
    for (const auto* device : {&laptop.mouse, &laptop.keyboard, &laptop.innerHub, &laptop.hub})
        sendUevent(device->devpath(), "remove");
    sysfs.removeDevice(laptop.hub.devpath());
    runUntilCalled(changes, 1);
    EXPECT_EQ(changes, 2);

    usb.stop();
    plugUsbDevice(sysfs, laptop.mouse);
    settle();
    EXPECT_EQ(changes, 2);
}

TEST_F(LinuxObserverTest, TypeCChangesReachThePowerObserver) {
    int changes = 0;
    ASSERT_TRUE(power.start([&] { ++changes; }));
    sysfs.removeDevice(FakeLaptop::partner(0));
    sendUevent(FakeLaptop::typeCPort(0), "change");
    runUntilCalled(changes, 0);
    EXPECT_EQ(changes, 1);

    // A computer without Type-C ports has no power manager to watch.
    power.stop();
    sysfs.removeDevice(FakeLaptop::typeCPort(0));
    sysfs.removeDevice(FakeLaptop::typeCPort(1));
    EXPECT_FALSE(power.start([&] { ++changes; }));
}

TEST_F(LinuxObserverTest, APowerManagerThatAppearsAfterStartIsWatchedFromThenOn) {
    // The Type-C driver is not up yet when the program starts: no Type-C class at all.
    sysfs.removeDevice(FakeLaptop::typeCPort(0));
    sysfs.removeDevice(FakeLaptop::typeCPort(1));
    std::filesystem::remove_all(sysfs.root() / "class/typec");
    int changes = 0, appearances = 0;
    ASSERT_TRUE(power.startOrAwait([&] { ++changes; }, [&] { ++appearances; }));

    // It comes up with a source port, a partner on it and a supply measuring the output.
    laptop.addTypeCPort(sysfs, 0, "[source] sink", "usb_power_delivery");
    laptop.addPartner(sysfs, 0);
    const std::string supply = FakeLaptop::typeCPort(0) + "/power_supply/port0-source";
    sysfs.addDevice(
        supply, "power_supply",
        {{"online", "1"}, {"voltage_now", "5000000"}, {"current_now", "2000000"}, {"power_now", "10000000"}});
    sysfs.addLink(supply, "device", FakeLaptop::typeCPort(0));
    for (const auto& devpath : {FakeLaptop::typeCPort(0), FakeLaptop::partner(0), supply}) sendUevent(devpath, "add");
    runUntilCalled(appearances, 0);
    EXPECT_EQ(appearances, 1);
    EXPECT_EQ(changes, 0);
    auto battery = registry.firstMatchingService("AppleSmartBattery");
    ASSERT_TRUE(battery);
    EXPECT_EQ(battery->property("PowerOutDetails")->describe(),
              "[{\"AdapterVoltage\": 5000, \"Current\": 2000, \"PortIndex\": 1, \"Watts\": 10000}]");

    sysfs.setAttribute(supply, "power_now", "12500000");
    sendUevent(supply, "change");
    runUntilCalled(changes, 0);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(appearances, 1);
    EXPECT_EQ(battery->property("PowerOutDetails")->describe(),
              "[{\"AdapterVoltage\": 5000, \"Current\": 2000, \"PortIndex\": 1, \"Watts\": 12500}]");
}

}  // namespace
}  // namespace ampwell::platform::linux_
