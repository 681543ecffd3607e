#include "platform/sim/SimMainQueue.hpp"
#include "platform/sim/SimRegistry.hpp"

#include <gtest/gtest.h>

namespace ampwell::platform::sim {
namespace {

SimEntrySpec entrySpec(EntryID id, std::string className, std::map<std::string, std::optional<EntryID>> planes = {}) {
    SimEntrySpec entry;
    entry.id = id;
    entry.className = std::move(className);
    entry.planes = std::move(planes);
    return entry;
}

class SimNotificationTest : public ::testing::Test {
protected:
    SimNotificationTest() : clock(dateFromSecondsSince1970(1'800'000'000), 0), queue(clock), registry(&queue) {
        registry.addEntries({entrySpec(1, "IOUSBHostDevice"), entrySpec(2, "IOUSBHostDevice"), entrySpec(3, "AppleSmartBattery")});
    }

    // Delivers everything queued so far.
    void deliver() { queue.runUntil(clock.now()); }

    // Arms a matching notification that records, per handler call, the IDs it drained.
    std::unique_ptr<ServiceIterator> watch(NotificationPort& port, MatchingEvent event,
                                           std::vector<std::vector<EntryID>>& calls) {
        auto armed = port.addMatchingNotification(event, "IOUSBHostDevice", [&calls](ServiceIterator& iterator) {
            calls.emplace_back();
            while (auto entry = iterator.next()) calls.back().push_back(entry->entryID());
        });
        EXPECT_EQ(armed.result, kResultSuccess);
        return std::move(armed.iterator);
    }

    SimClock clock;
    SimMainQueue queue;
    SimRegistry registry;
};

TEST_F(SimNotificationTest, SilentAtStartThenOneCallPerBatch) {
    auto port = registry.createNotificationPort();
    std::vector<std::vector<EntryID>> calls;
    auto iterator = watch(*port, MatchingEvent::firstMatch, calls);
    // Entries present are on the iterator, and draining them arms the notification.
    EXPECT_EQ(iterator->next()->entryID(), 1u);
    EXPECT_EQ(iterator->next()->entryID(), 2u);
    EXPECT_EQ(iterator->next(), nullptr);
    deliver();
    EXPECT_TRUE(calls.empty());

    registry.addEntry(entrySpec(4, "IOUSBHostDevice"));
    EXPECT_TRUE(calls.empty());  // delivered on the main queue, not in the caller
    deliver();
    EXPECT_EQ(calls, (std::vector<std::vector<EntryID>>{{4}}));

    // A hub with two devices arrives as one batch: one call carrying both devices.
    registry.addEntries({entrySpec(10, "IOUSBHub"), entrySpec(11, "IOUSBHostDevice", {{"IOService", 10}}),
                         entrySpec(12, "IOUSBHostDevice", {{"IOService", 10}})});
    registry.addEntry(entrySpec(13, "AppleSmartBattery"));  // another class: no call
    deliver();
    EXPECT_EQ(calls, (std::vector<std::vector<EntryID>>{{4}, {11, 12}}));
}

TEST_F(SimNotificationTest, NothingIsDeliveredBeforeTheIteratorWasDrained) {
    auto port = registry.createNotificationPort();
    std::vector<std::vector<EntryID>> calls;
    auto iterator = watch(*port, MatchingEvent::firstMatch, calls);
    registry.addEntry(entrySpec(4, "IOUSBHostDevice"));
    deliver();
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(drain(*iterator).size(), 3u);  // 1, 2 and the new 4
}

TEST_F(SimNotificationTest, TerminateReportsAHubAndItsDevicesOnce) {
    registry.addEntries({entrySpec(10, "IOUSBHub"), entrySpec(11, "IOUSBHostDevice", {{"IOService", 10}}),
                         entrySpec(12, "IOUSBHostDevice", {{"IOService", 10}})});
    auto port = registry.createNotificationPort();
    std::vector<std::vector<EntryID>> calls;
    auto iterator = watch(*port, MatchingEvent::terminate, calls);
    EXPECT_EQ(iterator->next(), nullptr);  // nothing has gone yet
    registry.removeEntry(10);
    deliver();
    registry.removeEntry(1);
    deliver();
    EXPECT_EQ(calls, (std::vector<std::vector<EntryID>>{{11, 12}, {1}}));
}

TEST_F(SimNotificationTest, BatchesQueuedTogetherStillGiveOneCallEach) {
    auto port = registry.createNotificationPort();
    std::vector<std::vector<EntryID>> calls;
    auto iterator = watch(*port, MatchingEvent::firstMatch, calls);
    drain(*iterator);
    registry.addEntry(entrySpec(4, "IOUSBHostDevice"));
    registry.addEntry(entrySpec(5, "IOUSBHostDevice"));
    deliver();
    // The first call drains both; the second finds the iterator empty.
    EXPECT_EQ(calls, (std::vector<std::vector<EntryID>>{{4, 5}, {}}));
}

TEST_F(SimNotificationTest, QueuedDeliveriesDoNothingOnceThePortOrIteratorIsGone) {
    auto port = registry.createNotificationPort();
    std::vector<std::vector<EntryID>> calls;
    auto iterator = watch(*port, MatchingEvent::firstMatch, calls);
    drain(*iterator);
    registry.addEntry(entrySpec(4, "IOUSBHostDevice"));
    port.reset();  // the delivery is already queued
    deliver();
    EXPECT_TRUE(calls.empty());

    auto secondPort = registry.createNotificationPort();
    auto second = watch(*secondPort, MatchingEvent::terminate, calls);
    drain(*second);
    registry.removeEntry(4);
    second.reset();
    deliver();
    EXPECT_TRUE(calls.empty());
    iterator.reset();
    secondPort.reset();
    EXPECT_EQ(registry.liveHandleCount(), 0u);
}

TEST_F(SimNotificationTest, AHandlerMayDestroyItsOwnPort) {
    auto port = registry.createNotificationPort();
    std::unique_ptr<ServiceIterator> iterator;
    int calls = 0;
    auto armed = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice", [&](ServiceIterator& it) {
        ++calls;
        drain(it);
        iterator.reset();
        port.reset();
    });
    iterator = std::move(armed.iterator);
    drain(*iterator);
    registry.addEntry(entrySpec(4, "IOUSBHostDevice"));
    registry.addEntry(entrySpec(5, "IOUSBHostDevice"));
    deliver();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(registry.liveHandleCount(), 0u);
}

TEST_F(SimNotificationTest, InterestMessagesReachTheirEntryOnly) {
    auto port = registry.createNotificationPort();
    std::vector<std::uint32_t> messages;
    auto battery = registry.entry(3);
    auto interest = port->addInterestNotification(*battery, [&](std::uint32_t type) { messages.push_back(type); });
    ASSERT_EQ(interest.result, kResultSuccess);
    battery.reset();
    registry.sendMessage(3, 0xE0024100);
    registry.sendMessage(1, 0xE0024100);
    registry.sendMessage(3, 0xE0000280);
    EXPECT_TRUE(messages.empty());
    deliver();
    EXPECT_EQ(messages, (std::vector<std::uint32_t>{0xE0024100, 0xE0000280}));

    registry.removeEntry(3);
    deliver();
    EXPECT_EQ(messages.back(), kMessageServiceIsTerminated);

    // Once the handle is gone, a queued message finds nobody.
    registry.addEntry(entrySpec(6, "AppleSmartBattery"));
    auto second = port->addInterestNotification(*registry.entry(6), [&](std::uint32_t type) { messages.push_back(type); });
    registry.sendMessage(6, 1);
    second.handle.reset();
    deliver();
    EXPECT_EQ(messages.size(), 3u);
}

TEST_F(SimNotificationTest, FailuresAreReportedNotHidden) {
    auto port = registry.createNotificationPort();
    SimRegistry other(&queue);
    other.addEntry(entrySpec(3, "AppleSmartBattery"));
    auto foreign = other.entry(3);
    EXPECT_EQ(port->addInterestNotification(*foreign, [](std::uint32_t) {}).result, kResultError);

    auto removed = registry.entry(2);
    registry.removeEntry(2);
    EXPECT_EQ(port->addInterestNotification(*removed, [](std::uint32_t) {}).result, kResultError);

    registry.setMatchingResult("IOUSBHostDevice", kResultNoResources);
    const auto refused = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice", [](ServiceIterator&) {});
    EXPECT_EQ(refused.result, kResultNoResources);
    EXPECT_EQ(refused.iterator, nullptr);

    registry.setNotificationPortsFail(true);
    EXPECT_EQ(registry.createNotificationPort(), nullptr);
    EXPECT_EQ(SimRegistry().createNotificationPort(), nullptr);  // no main queue to deliver on
}

}  // namespace
}  // namespace ampwell::platform::sim
