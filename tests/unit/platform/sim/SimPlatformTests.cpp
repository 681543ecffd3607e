#include "platform/sim/SimPlatform.hpp"

#include "platform/factory/PlatformFactory.hpp"
#include "platform/sim/SimulationLoader.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace ampwell::platform::sim {
namespace {

const char* const kDesk = R"({
  "format": "ampwell-simulation/1",
  "clock": {"start": 1800000000, "speed": 0},
  "bootTime": 1799990000.75,
  "registry": [
    {"id": 100, "class": "AppleSmartBattery", "properties": {"UpdateTime": 1800000000}},
    {"id": 200, "class": "IOUSBHostDevice", "properties": {"sessionID": 1}}
  ],
  "mobileDevices": [{"identifier": "A", "values": {"": {"DeviceClass": "iPad"}}}],
  "defaults": {"lowPowerThreshold": 15},
  "timeline": [
    {"at": 3, "add": {"id": 300, "class": "IOUSBHostDevice", "properties": {"sessionID": 2}}},
    {"at": 4, "message": {"id": 100, "type": "0xE0024100"}},
    {"at": 5, "set": {"id": 100, "properties": {"UpdateTime": 1800000005}}},
    {"at": 6, "mobile": {"identifier": "B"}},
    {"at": 8, "remove": 300},
    {"at": 9, "mobile": {"identifier": "A", "remove": true}}
  ]
})";

std::unique_ptr<SimPlatform> makeDesk(const std::string& extra = "") {
    std::string text = kDesk;
    if (!extra.empty()) text.insert(text.find("\"clock\""), extra + ", ");
    return std::make_unique<SimPlatform>(parseSimulation(text, "desk.json"));
}

Date at(double elapsed) { return dateFromSecondsSince1970(1'800'000'000 + elapsed); }

TEST(SimPlatform, TheTimelinePlaysOnTheMainQueue) {
    auto platform = makeDesk();
    auto& registry = platform->registry();
    auto port = registry.createNotificationPort();
    int plugEvents = 0;
    std::vector<std::uint32_t> messages;
    auto added = port->addMatchingNotification(MatchingEvent::firstMatch, "IOUSBHostDevice", [&](ServiceIterator& it) {
        if (!drain(it).empty()) ++plugEvents;
    });
    auto gone = port->addMatchingNotification(MatchingEvent::terminate, "IOUSBHostDevice", [&](ServiceIterator& it) {
        if (!drain(it).empty()) ++plugEvents;
    });
    drain(*added.iterator);
    drain(*gone.iterator);
    auto battery = registry.firstMatchingService("AppleSmartBattery");
    auto interest = port->addInterestNotification(*battery, [&](std::uint32_t type) { messages.push_back(type); });

    platform->mainQueue().runUntil(at(3));
    EXPECT_EQ(plugEvents, 1);
    EXPECT_NE(registry.entry(300), nullptr);
    platform->mainQueue().runUntil(at(5));
    EXPECT_EQ(messages, std::vector<std::uint32_t>{0xE0024100});
    EXPECT_EQ(battery->property("UpdateTime")->number()->value, 1800000005);
    platform->mainQueue().runUntil(at(6));
    EXPECT_EQ(platform->simMobileDevices().devices().size(), 2u);
    platform->mainQueue().runUntil(at(10));
    EXPECT_EQ(plugEvents, 2);
    EXPECT_EQ(registry.entry(300), nullptr);
    const auto devices = platform->simMobileDevices().devices();
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].identifier, "B");
    EXPECT_EQ(platform->clock().now(), at(10));

    battery.reset();
    interest.handle.reset();
    added.iterator.reset();
    gone.iterator.reset();
    port.reset();
    EXPECT_EQ(platform->simRegistry().liveHandleCount(), 0u);
}

TEST(SimPlatform, ClockBootTimeAndDefaultsComeFromTheFile) {
    auto platform = makeDesk();
    EXPECT_EQ(platform->bootTimeSeconds(), 1799990000);
    EXPECT_EQ(platform->clock().uptime().count(), 9999.25);
    EXPECT_EQ(numberDefault(platform->defaults(), "lowPowerThreshold"), 15);
    platform->defaults().set("menuDisplayMode", PropertyValue::string("text"));
    platform->defaults().remove("lowPowerThreshold");
    EXPECT_EQ(stringDefault(platform->defaults(), "menuDisplayMode"), "text");
    EXPECT_EQ(platform->defaults().value("lowPowerThreshold"), std::nullopt);

    const auto realTime = std::make_unique<SimPlatform>(
        parseSimulation(R"({"format": "ampwell-simulation/1"})", "plain.json"));
    EXPECT_EQ(realTime->bootTimeSeconds(), std::nullopt);
    EXPECT_FALSE(realTime->simClock().isFrozen());
}

TEST(SimPlatform, OneInstancePerLockDirectory) {
    const auto directory = std::filesystem::temp_directory_path() / ("ampwell-sim-lock-test-" + std::to_string(::getpid()));
    std::filesystem::remove_all(directory);
    const std::string key = "\"lockDirectory\": \"" + directory.string() + "\"";
    auto first = makeDesk(key);
    auto second = makeDesk(key);
    auto elsewhere = makeDesk("\"lockDirectory\": \"" + directory.string() + "-other\"");
    EXPECT_TRUE(first->instanceLock().acquire("local.ampwell"));
    EXPECT_FALSE(second->instanceLock().acquire("local.ampwell"));
    EXPECT_TRUE(elsewhere->instanceLock().acquire("local.ampwell"));
    first.reset();  // the lock goes with its holder
    EXPECT_TRUE(second->instanceLock().acquire("local.ampwell"));
    std::filesystem::remove_all(directory);
    std::filesystem::remove_all(directory.string() + "-other");
}

TEST(SimPlatform, TheSharedDefaultLockDirectoryMustBePrivate) {
    const auto base = std::filesystem::temp_directory_path() / ("ampwell-sim-tmp-" + std::to_string(::getpid()));
    std::filesystem::create_directories(base);
    EXPECT_EQ(SimInstanceLock::defaultDirectory("/run/user/7", base.c_str()), "/run/user/7/ampwell-simulation");
    const std::string directory = SimInstanceLock::defaultDirectory(nullptr, base.c_str());
    EXPECT_EQ(directory, base.string() + "/ampwell-simulation-" + std::to_string(::geteuid()));

    std::ostringstream logged;
    SimSystemLog log(logged);
    // Made by someone careless: writable by everyone. The lock is not taken there.
    std::filesystem::create_directory(directory);
    ::chmod(directory.c_str(), 0777);
    SimInstanceLock careless(directory, true, log);
    EXPECT_TRUE(careless.acquire("local.ampwell"));
    EXPECT_FALSE(std::filesystem::exists(directory + "/local.ampwell.lock"));
    EXPECT_NE(logged.str().find("[simulated system log] instance lock: "), std::string::npos);

    ::chmod(directory.c_str(), 0700);
    SimInstanceLock first(directory, true, log);
    SimInstanceLock second(directory, true, log);
    EXPECT_TRUE(first.acquire("local.ampwell"));
    EXPECT_FALSE(second.acquire("local.ampwell"));
    std::filesystem::remove_all(base);
}

TEST(SimPlatform, ATimelineEventOvertakenFromCodeIsLoggedAndSkipped) {
    auto platform = makeDesk();
    platform->simRegistry().addEntry(SimEntrySpec{300, "IOUSBHostDevice", {}, {}, {}, false});
    testing::internal::CaptureStderr();
    platform->mainQueue().runUntil(at(3));
    const std::string logged = testing::internal::GetCapturedStderr();
    EXPECT_EQ(logged,
              "[simulated system log] simulation: desk.json: $.timeline[0].add: entry ID 300 is already in use\n");
    platform->mainQueue().runUntil(at(10));  // the rest of the timeline still plays
    EXPECT_EQ(platform->registry().entry(300), nullptr);
}

TEST(SimPlatform, MakePlatformReadsTheNamedFile) {
    EXPECT_THROW(makePlatform("/nonexistent/simulation.json"), PlatformError);
    const auto path = std::filesystem::temp_directory_path() / ("ampwell-sim-" + std::to_string(::getpid()) + ".json");
    {
        std::ofstream out(path);
        out << kDesk;
    }
    const auto platform = makePlatform(path.c_str());
    EXPECT_NE(platform->registry().firstMatchingService("AppleSmartBattery"), nullptr);
    std::filesystem::remove(path);
}

}  // namespace
}  // namespace ampwell::platform::sim
