#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimUsbHost.hpp"
#include "platform/sim/SimulationLoader.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ampwell::platform::sim {
namespace {

// A frozen simulated Mac: a controller, a USB-C port, a device with one interface below both,
// and a timeline that adds entry 50 later.
constexpr const char* kMac = R"({
  "format": "ampwell-simulation/1",
  "clock": { "start": 0, "speed": 0 },
  "registry": [
    { "id": 1, "class": "IOUSBHostController", "planes": { "IOService": null } },
    { "id": 2, "class": "IOPort", "planes": { "IOPort": null },
      "properties": { "ParentPortTypeDescription": "USB-C", "ParentPortNumber": 1 } },
    { "id": 10, "class": "IOUSBHostDevice", "planes": { "IOService": 1, "IOPort": 2 },
      "properties": { "USB Product Name": "iPad", "sessionID": 700 } },
    { "id": 11, "class": "IOUSBHostInterface", "planes": { "IOService": 10 },
      "properties": { "bInterfaceClass": 255 } },
    { "id": 20, "class": "IOUSBHostDevice", "planes": { "IOService": 1 },
      "properties": { "USB Product Name": "Disk", "sessionID": 900 } }
  ],
  "usbHost": [
    { "id": 20, "reset": { "domain": "IOKit", "code": "0xE00002BC", "description": "General error." } },
    { "id": 50, "open": { "domain": "IOKit", "code": -536870203, "description": "Exclusive access." } }
  ],
  "timeline": [ { "at": 100, "add": { "id": 50, "class": "IOUSBHostDevice", "planes": { "IOService": 1 } } } ]
})";

class SimUsbHostTest : public ::testing::Test {
protected:
    SimPlatform platform{parseSimulation(kMac, "mac.json")};
    SimRegistry& registry = platform.simRegistry();
    SimUsbHost& host = platform.simUsbHost();
};

TEST_F(SimUsbHostTest, ASuccessfulResetReEnumeratesTheDeviceAndEverythingBelowIt) {
    auto port = registry.createNotificationPort();
    std::vector<std::string> events;
    auto watch = [&](MatchingEvent event, const char* name) {
        return port->addMatchingNotification(event, "IOUSBHostDevice", [&events, name](ServiceIterator& iterator) {
            for (auto& entry : drain(iterator)) events.push_back(name + std::to_string(entry->entryID()));
        });
    };
    auto added = watch(MatchingEvent::firstMatch, "added ");
    auto removed = watch(MatchingEvent::terminate, "removed ");
    drain(*added.iterator);
    drain(*removed.iterator);

    {
        auto device = registry.entry(10);
        auto opened = host.open(*device);
        ASSERT_NE(opened.client, nullptr);
        EXPECT_EQ(host.openClientCount(), 1u);
        EXPECT_EQ(opened.client->reset(), std::nullopt);
        // The client's device is gone: a second reset through it fails.
        EXPECT_TRUE(opened.client->reset().has_value());
    }
    platform.simQueue().runUntil(platform.clock().now());
    EXPECT_EQ(host.openClientCount(), 0u);
    EXPECT_EQ(host.resetCalls(), (std::vector<EntryID>{10, 10}));

    // New IDs lie above every ID the file names, the timeline's 50 included.
    EXPECT_EQ(events, (std::vector<std::string>{"removed 10", "added 51"}));
    EXPECT_FALSE(registry.contains(10));
    EXPECT_FALSE(registry.contains(11));
    auto device = registry.entry(51);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->property("sessionID")->number()->text, "901");  // above every session present
    EXPECT_EQ(*device->property("USB Product Name")->stringValue(), "iPad");
    EXPECT_EQ(device->parent(kPortPlane)->entryID(), 2u);
    auto children = device->children(kServicePlane);
    ASSERT_EQ(children.size(), 1u);
    EXPECT_EQ(children[0]->entryID(), 52u);
    EXPECT_EQ(children[0]->className(), "IOUSBHostInterface");
    children.clear();
    device.reset();
    added.iterator.reset();
    removed.iterator.reset();
    port.reset();
    EXPECT_EQ(registry.liveHandleCount(), 0u);
}

TEST_F(SimUsbHostTest, ScriptedErrorsAnswerOpenAndReset) {
    auto disk = registry.entry(20);
    auto opened = host.open(*disk);
    ASSERT_NE(opened.client, nullptr);
    const UsbHostError general{"IOKit", static_cast<std::int32_t>(0xE00002BC), "General error."};
    EXPECT_EQ(opened.client->reset(), general);
    EXPECT_TRUE(registry.contains(20));  // a failed reset leaves the device alone

    platform.simQueue().runUntil(platform.clock().now() + Seconds(100));
    auto late = registry.entry(50);
    ASSERT_NE(late, nullptr);
    const auto refused = host.open(*late);
    EXPECT_EQ(refused.client, nullptr);
    EXPECT_EQ(refused.error, (UsbHostError{"IOKit", -536870203, "Exclusive access."}));
}

TEST_F(SimUsbHostTest, OnlyPresentUsbDevicesCanBeOpenedAndReset) {
    auto port = registry.entry(2);
    EXPECT_EQ(host.open(*port).client, nullptr);

    auto device = registry.entry(10);
    auto opened = host.open(*device);
    ASSERT_NE(opened.client, nullptr);
    registry.removeEntry(10);
    EXPECT_TRUE(opened.client->reset().has_value());
    EXPECT_EQ(host.open(*device).client, nullptr);
    EXPECT_EQ(host.resetCalls(), (std::vector<EntryID>{10}));
}

TEST(SimUsbHostScripts, MistakesInTheFileAreNamedWithTheirPlace) {
    auto load = [](const std::string& usbHost) {
        try {
            parseSimulation(R"({"format": "ampwell-simulation/1",
                "registry": [{"id": 7, "class": "IOUSBHostDevice"}], "usbHost": )" + usbHost + "}",
                            "f.json");
            return std::string("loaded");
        } catch (const PlatformError& error) {
            return std::string(error.what());
        }
    };
    EXPECT_EQ(load(R"([{"id": 7, "reset": {"domain": "IOKit", "code": 5, "description": "x"}}])"), "loaded");
    EXPECT_EQ(load(R"([{"id": 8}])"), "f.json: $.usbHost[0].id: no entry 8 is in the registry or added by the timeline");
    EXPECT_EQ(load(R"([{"id": 7}, {"id": 7}])"), "f.json: $.usbHost[1].id: the entry 7 is already scripted at $.usbHost[0]");
    EXPECT_EQ(load(R"([{"id": 7, "opne": {}}])"), "f.json: $.usbHost[0].opne: unknown key");
    EXPECT_EQ(load(R"([{"id": 7, "open": {"domain": "IOKit", "code": 1}}])"),
              "f.json: $.usbHost[0].open: missing key \"description\"");
}

}  // namespace
}  // namespace ampwell::platform::sim
