#include "platform/sim/SimRegistry.hpp"

#include "platform/sim/SimRegistryEntry.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace ampwell::platform::sim {
namespace {

SimEntrySpec entrySpec(EntryID id, std::string className, std::map<std::string, std::optional<EntryID>> planes = {},
                  PropertyDictionary properties = {}) {
    SimEntrySpec entry;
    entry.id = id;
    entry.className = std::move(className);
    entry.planes = std::move(planes);
    entry.properties = std::move(properties);
    return entry;
}

std::vector<EntryID> ids(const std::vector<std::unique_ptr<RegistryEntry>>& entries) {
    std::vector<EntryID> result;
    for (const auto& entry : entries) result.push_back(entry->entryID());
    return result;
}

std::vector<EntryID> walk(SimRegistry& registry, const std::string& className) {
    auto match = registry.matchingServices(className);
    EXPECT_EQ(match.result, kResultSuccess);
    return ids(drain(*match.iterator));
}

// A port chain 1 → 2 in the IOPort plane, a USB device 3 behind port 2 with interface 4 under it
// in the IOService plane, and a second device 5 on the port root.
class SimRegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto device = entrySpec(3, "IOUSBHostDevice", {{"IOPort", 2}, {"IOService", std::nullopt}},
                           {{"USB Product Name", PropertyValue::string("iPad")}, {"sessionID", PropertyValue::wholeNumber(7)}});
        device.conforms = {"IOUSBDevice"};
        // Listed before its parents: the batch links them once all are in.
        registry.addEntries({device, entrySpec(1, "IOPort", {{"IOPort", std::nullopt}}), entrySpec(2, "IOPort", {{"IOPort", 1}}),
                             entrySpec(4, "IOUSBHostInterface", {{"IOService", 3}}), entrySpec(5, "IOUSBHostDevice", {{"IOPort", 1}})});
    }

    SimRegistry registry;
};

TEST_F(SimRegistryTest, WalksSeeRegistryOrderByClassOrConformance) {
    EXPECT_EQ(walk(registry, "IOUSBHostDevice"), (std::vector<EntryID>{3, 5}));
    EXPECT_EQ(walk(registry, "IOUSBDevice"), std::vector<EntryID>{3});
    EXPECT_EQ(walk(registry, "AppleSmartBattery"), std::vector<EntryID>{});
    EXPECT_EQ(registry.firstMatchingService("IOPort")->entryID(), 1u);
    EXPECT_EQ(registry.firstMatchingService("AppleSmartBattery"), nullptr);
    EXPECT_EQ(registry.entry(4)->className(), "IOUSBHostInterface");
    EXPECT_EQ(registry.entry(99), nullptr);
    EXPECT_TRUE(registry.entry(3)->conformsTo("IOUSBDevice"));
    EXPECT_FALSE(registry.entry(5)->conformsTo("IOUSBDevice"));
}

TEST_F(SimRegistryTest, PlanesGiveParentsChildrenAndMembership) {
    auto device = registry.entry(3);
    auto port = device->parent("IOPort");
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(port->entryID(), 2u);
    EXPECT_EQ(port->parent("IOPort")->entryID(), 1u);
    EXPECT_EQ(port->parent("IOPort")->parent("IOPort"), nullptr);
    EXPECT_EQ(device->parent("IOService"), nullptr);  // a root
    EXPECT_EQ(device->parent("IODeviceTree"), nullptr);
    EXPECT_EQ(ids(registry.entry(1)->children("IOPort")), (std::vector<EntryID>{2, 5}));
    EXPECT_EQ(ids(device->children("IOService")), std::vector<EntryID>{4});
    EXPECT_TRUE(device->children("IOPort").empty());
    EXPECT_TRUE(device->inPlane("IOPort"));
    EXPECT_FALSE(registry.entry(4)->inPlane("IOPort"));
    EXPECT_TRUE(registry.entry(4)->inPlane("IOService"));
}

TEST_F(SimRegistryTest, PropertiesAreCopiesAndCanBeRefused) {
    auto device = registry.entry(3);
    EXPECT_EQ(device->properties()->size(), 2u);
    EXPECT_EQ(*device->property("USB Product Name")->stringValue(), "iPad");
    EXPECT_EQ(device->property("missing"), std::nullopt);

    auto refusing = entrySpec(6, "AppleSmartBattery", {}, {{"UpdateTime", PropertyValue::wholeNumber(1)}});
    refusing.propertiesFail = true;
    registry.addEntry(refusing);
    EXPECT_EQ(registry.entry(6)->properties(), std::nullopt);
    EXPECT_EQ(registry.entry(6)->property("UpdateTime"), std::nullopt);
    // An entry without properties has an empty dictionary, which is not a refusal.
    ASSERT_TRUE(registry.entry(1)->properties().has_value());
    EXPECT_TRUE(registry.entry(1)->properties()->empty());
}

TEST_F(SimRegistryTest, IteratorsTurnInvalidWhenEntriesComeOrGo) {
    auto before = registry.matchingServices("IOUSBHostDevice").iterator;
    registry.setProperties(3, {{"sessionID", PropertyValue::wholeNumber(8)}}, {"USB Product Name"});
    EXPECT_TRUE(before->isValid());  // property changes leave walks valid...
    EXPECT_EQ(registry.entry(3)->property("sessionID")->number()->value, 8);
    EXPECT_EQ(registry.entry(3)->property("USB Product Name"), std::nullopt);

    registry.addEntry(entrySpec(7, "IOUSBHostDevice"));
    EXPECT_FALSE(before->isValid());  // ...an added entry does not
    EXPECT_EQ(before->next()->entryID(), 3u);  // the walk still hands out what it matched

    auto afterAdd = registry.matchingServices("IOUSBHostDevice").iterator;
    EXPECT_TRUE(afterAdd->isValid());
    registry.removeEntry(7);
    EXPECT_FALSE(afterAdd->isValid());
}

TEST_F(SimRegistryTest, RemovalTakesDescendantsInEveryPlane) {
    auto device = registry.entry(3);
    auto interface = registry.entry(4);
    registry.removeEntry(2);  // the port: device 3 behind it, and 3's interface 4
    EXPECT_EQ(walk(registry, "IOUSBHostDevice"), std::vector<EntryID>{5});
    EXPECT_FALSE(registry.contains(3));
    EXPECT_FALSE(registry.contains(4));
    EXPECT_EQ(ids(registry.entry(1)->children("IOPort")), std::vector<EntryID>{5});

    // Retained handles of removed entries keep their data but are detached.
    EXPECT_EQ(device->entryID(), 3u);
    EXPECT_EQ(*device->property("USB Product Name")->stringValue(), "iPad");
    EXPECT_EQ(device->parent("IOPort"), nullptr);
    EXPECT_TRUE(device->children("IOService").empty());
    EXPECT_FALSE(interface->inPlane("IOService"));

    // An ID no longer present may come back (a new entry, unrelated to the old handle).
    registry.addEntry(entrySpec(3, "IOUSBHostDevice", {{"IOPort", 1}}));
    EXPECT_EQ(device->parent("IOPort"), nullptr);
    EXPECT_EQ(registry.entry(3)->parent("IOPort")->entryID(), 1u);
}

TEST_F(SimRegistryTest, RefusedChangesLeaveTheRegistryAsItWas) {
    const auto expectError = [&](std::vector<SimEntrySpec> batch, const std::string& message, std::size_t index,
                                 std::vector<std::string> field) {
        try {
            registry.addEntries(std::move(batch));
            ADD_FAILURE() << "accepted: " << message;
        } catch (const SimRegistryError& error) {
            EXPECT_EQ(error.what(), message);
            EXPECT_EQ(error.index(), index);
            EXPECT_EQ(error.field(), field);
        }
    };
    expectError({entrySpec(8, "A"), entrySpec(0, "A")}, "entry ID 0 is not allowed", 1, {"id"});
    expectError({entrySpec(8, "A"), entrySpec(3, "A")}, "entry ID 3 is already in use", 1, {"id"});
    expectError({entrySpec(8, "A"), entrySpec(8, "A")}, "entry ID 8 is already in use", 1, {"id"});
    expectError({entrySpec(8, "")}, "the class name is empty", 0, {"class"});
    expectError({entrySpec(8, "A", {{"IOPort", 42}})}, "parent 42 does not exist", 0, {"planes", "IOPort"});
    expectError({entrySpec(8, "A", {{"P", 10}}), entrySpec(9, "A", {{"P", 8}}), entrySpec(10, "A", {{"P", 9}})},
                "the P plane has a cycle: 8 -> 10 -> 9 -> 8", 0, {"planes", "P"});
    expectError({entrySpec(8, "A", {{"P", 8}})}, "the P plane has a cycle: 8 -> 8", 0, {"planes", "P"});
    EXPECT_EQ(registry.entryCount(), 5u);
    EXPECT_FALSE(registry.contains(8));
    EXPECT_THROW(registry.removeEntry(8), SimRegistryError);
    EXPECT_THROW(registry.setProperties(8, {}), SimRegistryError);
    EXPECT_THROW(registry.sendMessage(8, 1), SimRegistryError);
}

TEST_F(SimRegistryTest, ScriptedMatchFailureGivesItsCode) {
    registry.setMatchingResult("IOUSBHostDevice", kResultNoResources);
    const auto match = registry.matchingServices("IOUSBHostDevice");
    EXPECT_EQ(match.result, kResultNoResources);
    EXPECT_EQ(match.iterator, nullptr);
    EXPECT_EQ(registry.firstMatchingService("IOUSBHostDevice"), nullptr);
    registry.setMatchingResult("IOUSBHostDevice", kResultSuccess);
    EXPECT_EQ(walk(registry, "IOUSBHostDevice").size(), 2u);
}

TEST_F(SimRegistryTest, CountsEveryHandleUntilReleased) {
    EXPECT_EQ(registry.liveHandleCount(), 0u);
    {
        auto match = registry.matchingServices("IOUSBHostDevice");
        auto first = match.iterator->next();
        auto children = registry.entry(1)->children("IOPort");  // the parent handle is released at once
        EXPECT_EQ(registry.liveHandleCount(), 4u);               // iterator, first, two children
        registry.removeEntry(2);
        EXPECT_EQ(registry.liveHandleCount(), 4u);  // removal does not release retained handles
    }
    EXPECT_EQ(registry.liveHandleCount(), 0u);
}

TEST_F(SimRegistryTest, WalksWhileAnotherThreadChangesTheRegistry) {
    std::atomic<bool> stop{false};
    std::thread walker([&] {
        while (!stop.load()) {
            auto match = registry.matchingServices("IOUSBHostDevice");
            while (auto entry = match.iterator->next()) {
                if (auto parent = entry->parent("IOPort")) (void)parent->properties();
                (void)entry->property("sessionID");
            }
        }
    });
    for (EntryID id = 100; id < 400; ++id) {
        registry.addEntry(entrySpec(id, "IOUSBHostDevice", {{"IOPort", 2}}));
        registry.setProperties(id, {{"sessionID", PropertyValue::wholeNumber(static_cast<std::int64_t>(id))}});
        if (id % 2 == 0) registry.removeEntry(id);
    }
    stop.store(true);
    walker.join();
    EXPECT_EQ(walk(registry, "IOUSBHostDevice").size(), 2u + 150u);
    EXPECT_EQ(registry.liveHandleCount(), 0u);
}

TEST(SimRegistry, EntriesThatAreEachOthersParentInTwoPlanesAreFreedWithTheRegistry) {
    std::weak_ptr<SimNode> first;
    {
        SimRegistry registry;
        registry.addEntries({entrySpec(1, "A", {{"IOService", 2}}), entrySpec(2, "B", {{"IOPort", 1}})});
        first = dynamic_cast<SimRegistryEntry&>(*registry.entry(1)).node();
    }
    EXPECT_TRUE(first.expired());
}

}  // namespace
}  // namespace ampwell::platform::sim
