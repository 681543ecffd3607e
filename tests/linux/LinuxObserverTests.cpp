#include "app/model/PowerReadingObserver.hpp"
#include "app/model/USBConnectionObserver.hpp"
#include "tests/linux/LaptopOnLoopTest.hpp"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace ampwell::platform::linux_
