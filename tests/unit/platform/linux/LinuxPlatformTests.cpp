#include "platform/linux/LinuxPlatform.hpp"
#include "tests/linux/FakeLaptop.hpp"
#include "tests/unit/platform/linux/TempTree.hpp"

#include <gtest/gtest.h>

namespace ampwell::platform::linux_ {
namespace {

TEST(LinuxPlatform, AssemblesTheBackendOnTheGivenTreesAndFiles) {
    TempTree sysfs, proc, home;
    FakeLaptop().build(sysfs.sysfs());
    proc.sysfs().setAttribute("", "stat", "cpu 1\nbtime 1764990000");
    LinuxPlatformOptions options;
    options.sysfsRoot = sysfs.root();
    options.procRoot = proc.root();
    options.defaultsPath = home.root() + "/config/ampwell/defaults.json";
    options.runtimeDirectory = home.root() + "/run";

    auto platform = makeLinuxPlatform(options);
    EXPECT_EQ(platform->bootTimeSeconds(), std::optional<std::int64_t>(1764990000));
    auto devices = platform->registry().matchingServices("IOUSBHostDevice");
    EXPECT_EQ(drain(*devices.iterator).size(), 8u);
    EXPECT_TRUE(platform->registry().firstMatchingService("AppleSmartBattery"));

    platform->defaults().set("lowPowerThreshold", PropertyValue::wholeNumber(15));
    EXPECT_TRUE(std::filesystem::exists(options.defaultsPath));

    // One instance per bundle identifier: a second platform finds the lock taken.
    EXPECT_TRUE(platform->instanceLock().acquire("local.ampwell"));
    auto second = makeLinuxPlatform(options);
    EXPECT_FALSE(second->instanceLock().acquire("local.ampwell"));
    EXPECT_TRUE(second->instanceLock().acquire("local.other"));
    EXPECT_EQ(numberDefault(second->defaults(), "lowPowerThreshold"), std::optional<double>(15));

    int ran = 0;
    platform->mainQueue().post([&] { ++ran; });
    platform->mainQueue().runUntil(platform->clock().now() + Seconds(0.02));
    EXPECT_EQ(ran, 1);
}

}  // namespace
}  // namespace ampwell::platform::linux_
