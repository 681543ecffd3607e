#include "platform/linux/LinuxNotificationPort.hpp"
#include "tests/linux/LaptopOnLoopTest.hpp"

#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>

namespace ampwell::platform::linux_ {
namespace {

// The descriptors open in this process: a udev monitor holds one socket.
int openDescriptors() {
    int count = 0;
    for (int fd = 0; fd < 4096; ++fd)
        if (::fcntl(fd, F_GETFD) != -1) ++count;
    return count;
}

std::vector<std::string> products(ServiceIterator& iterator) {
    std::vector<std::string> names;
    for (auto& entry : drain(iterator)) {
        auto name = entry->property("USB Product Name");
        names.push_back(name && name->stringValue() ? *name->stringValue() : "?");
    }
    return names;
}

class LinuxNotificationPortTest : public LaptopOnLoopTest {
protected:
    void SetUp() override {
        LaptopOnLoopTest::SetUp();
        port = registry.createNotificationPort();
        ASSERT_TRUE(port);
    }
    void TearDown() override {
        port.reset();
        LaptopOnLoopTest::TearDown();
    }

    std::unique_ptr<NotificationPort> port;
};

TEST_F(LinuxNotificationPortTest, DevicesPresentWhenArmedAreOnTheIteratorAndNotReported) {
    int calls = 0;
    auto added = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice",
                                               [&](ServiceIterator& it) { ++calls, drain(it); });
    auto removed = port->addMatchingNotification(MatchingEvent::terminate, "IOUSBHostDevice",
                                                 [&](ServiceIterator& it) { ++calls, drain(it); });
    ASSERT_EQ(added.result, kResultSuccess);
    EXPECT_EQ(products(*added.iterator).size(), 8u);
    EXPECT_TRUE(products(*removed.iterator).empty());
    settle();
    EXPECT_EQ(calls, 0);
}

TEST_F(LinuxNotificationPortTest, PluggingGivesOneFirstMatchCallWithTheNewDevice) {
    int calls = 0;
    std::vector<std::string> seen;
    auto added = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice",
                                               [&](ServiceIterator& it) { ++calls, seen = products(it); });
    int terminations = 0;
    auto removed = port->addMatchingNotification(MatchingEvent::terminate, "IOUSBHostDevice",
                                                 [&](ServiceIterator& it) { ++terminations, drain(it); });
    drain(*added.iterator);

    plugUsbDevice(sysfs, laptop.mouse);
    runUntilCalled(calls, 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(terminations, 0);
    EXPECT_EQ(seen, (std::vector<std::string>{"Mouse"}));
}

TEST_F(LinuxNotificationPortTest, UnpluggingAHubChainGivesOneTerminateCallWithEveryDevice) {
    int calls = 0;
    std::vector<std::string> seen;
    auto removed = port->addMatchingNotification(MatchingEvent::terminate, "IOUSBHostDevice",
                                                 [&](ServiceIterator& it) { ++calls, seen = products(it); });
    // udev announces the devices one by one; they arrive before the loop wakes.
    for (const auto* device : {&laptop.keyboard, &laptop.innerHub, &laptop.hub}) sendUevent(device->devpath(), "remove");
    sysfs.removeDevice(laptop.hub.devpath());
    runUntilCalled(calls, 0);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, (std::vector<std::string>{"USB2.1 Hub", "USB2.0 Hub", "USB Keyboard"}));
}

TEST_F(LinuxNotificationPortTest, ARePlugWithinOneBatchIsBothATerminationAndAMatch) {
    int matches = 0, terminations = 0;
    auto added = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice",
                                               [&](ServiceIterator& it) { ++matches, drain(it); });
    auto removed = port->addMatchingNotification(MatchingEvent::terminate, "IOUSBHostDevice",
                                                 [&](ServiceIterator& it) { ++terminations, drain(it); });
    sendUevent(laptop.iPad.devpath(), "remove");
    sysfs.removeDevice(laptop.iPad.devpath());
    auto again = laptop.iPad;
    again.usecInitialized = "80000000";
    addUsbDevice(sysfs, again);
    sendUevent(again.devpath(), "add");
    runUntilCalled(matches, 0);
    EXPECT_EQ(matches, 1);
    EXPECT_EQ(terminations, 1);
}

TEST_F(LinuxNotificationPortTest, TypeCChangesSendTheBatteryStatusMessageAndStampTheUpdateTime) {
    auto battery = registry.firstMatchingService("AppleSmartBattery");
    int calls = 0;
    std::vector<std::uint32_t> messages;
    auto interest = port->addInterestNotification(*battery, [&](std::uint32_t type) {
        ++calls;
        messages.push_back(type);
    });
    ASSERT_EQ(interest.result, kResultSuccess);

    registryClock.advanceTo(42.0);
    plugUsbDevice(sysfs, laptop.mouse);  // USB only: no message
    settle();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(battery->property("UpdateTime")->describe(), "1796000000");

    // Two events in one batch: one message.
    sysfs.setAttribute(FakeLaptop::typeCPort(0), "power_operation_mode", "1.5A");
    sendUevent(FakeLaptop::typeCPort(0), "change");
    sendUevent(FakeLaptop::partner(0), "change");
    runUntilCalled(calls, 0);
    EXPECT_EQ(messages, (std::vector<std::uint32_t>{0xE0024100u}));
    EXPECT_EQ(battery->property("UpdateTime")->describe(), "1796000042");

    // A USB device cannot be watched for power messages, but may be: it simply gets none.
    auto iPad = registry.matchingServices("IOUSBHostDevice");
    EXPECT_EQ(port->addInterestNotification(*drain(*iPad.iterator)[1], [](std::uint32_t) {}).result, kResultSuccess);
}

TEST_F(LinuxNotificationPortTest, NothingIsDeliveredToADisarmedNotificationOrAfterThePortIsGone) {
    int calls = 0;
    auto disarmed = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice",
                                                  [&](ServiceIterator&) { ++calls; });
    auto armed = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice",
                                               [&](ServiceIterator& it) { calls += 10, drain(it); });
    disarmed.iterator.reset();
    plugUsbDevice(sysfs, laptop.mouse);
    runUntilCalled(calls, 0);
    EXPECT_EQ(calls, 10);

    // An event already queued when the port goes: the handler never runs.
    auto battery = registry.firstMatchingService("AppleSmartBattery");
    auto interest = port->addInterestNotification(*battery, [&](std::uint32_t) { ++calls; });
    sendUevent(FakeLaptop::typeCPort(0), "change");
    sendUevent(laptop.camera.devpath(), "remove");
    sysfs.removeDevice(laptop.camera.devpath());
    port.reset();
    settle();
    EXPECT_EQ(calls, 10);
    // Handles that outlive their port are harmless.
    armed.iterator.reset();
    interest.handle.reset();
}

TEST_F(LinuxNotificationPortTest, AHandlerMayStopTheWholePortWhileABatchIsDelivered) {
    int calls = 0;
    MatchingNotification first, second;
    first = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice", [&](ServiceIterator&) {
        ++calls;
        second.iterator.reset();
        port.reset();
    });
    second = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice",
                                           [&](ServiceIterator&) { ++calls; });
    plugUsbDevice(sysfs, laptop.mouse);
    runUntilCalled(calls, 0);
    EXPECT_EQ(calls, 1);
}

TEST_F(LinuxNotificationPortTest, PortsOfOneRegistryShareOneMonitorThatIsOpenWhileAnyPortIs) {
    port.reset();
    const int closed = openDescriptors();
    auto first = registry.createNotificationPort();
    const int open = openDescriptors();
    EXPECT_GT(open, closed);
    auto second = registry.createNotificationPort();
    EXPECT_EQ(openDescriptors(), open);

    // The one read reaches both ports.
    int firstCalls = 0, secondCalls = 0;
    auto firstAdded = first->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice",
                                                     [&](ServiceIterator& it) { ++firstCalls, drain(it); });
    auto secondAdded = second->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice",
                                                       [&](ServiceIterator& it) { ++secondCalls, drain(it); });
    plugUsbDevice(sysfs, laptop.mouse);
    queue.runUntil(realClock.now() + Seconds(2), [&] { return firstCalls > 0 && secondCalls > 0; });
    settle();
    EXPECT_EQ(firstCalls, 1);
    EXPECT_EQ(secondCalls, 1);

    first.reset();
    EXPECT_EQ(openDescriptors(), open);
    second.reset();
    EXPECT_EQ(openDescriptors(), closed);

    // A port made afterwards opens it again; a registry that goes closes it under its ports.
    auto registryOfItsOwn = std::make_unique<LinuxRegistry>(kDefaultSysfsRoot, registryClock, &queue);
    auto orphan = registryOfItsOwn->createNotificationPort();
    ASSERT_TRUE(orphan);
    EXPECT_EQ(openDescriptors(), open);
    registryOfItsOwn.reset();
    EXPECT_EQ(openDescriptors(), closed);
    orphan.reset();
}

TEST_F(LinuxNotificationPortTest, AnInterestInAGoneEntryIsRefused) {
    auto match = registry.matchingServices("IOUSBHostDevice");
    auto entries = drain(*match.iterator);
    sysfs.removeDevice(laptop.flashDrive.devpath());
    auto interest = port->addInterestNotification(*entries[5], [](std::uint32_t) {});
    EXPECT_NE(interest.result, kResultSuccess);
    EXPECT_EQ(interest.handle, nullptr);
}

}  // namespace
}  // namespace ampwell::platform::linux_
