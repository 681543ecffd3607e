#include "platform/linux/refresh/LinuxBatteryManager.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ampwell::platform::linux_ {
namespace {

namespace fs = std::filesystem;

class LinuxBatteryManagerTest : public ::testing::Test {
protected:
    LinuxBatteryManagerTest() : root(fs::temp_directory_path() / ("sysfs-" + std::to_string(::getpid()))) {
        fs::remove_all(root);
    }
    ~LinuxBatteryManagerTest() override { fs::remove_all(root); }

    // A device directory with a uevent file, listed in its class through a link, as sysfs does.
    fs::path addDevice(const std::string& className, const std::string& name) {
        const fs::path device = root / "devices" / name;
        fs::create_directories(device);
        std::ofstream(device / "uevent").flush();  // empty: what is written shows as it is
        fs::create_directories(root / "class" / className);
        fs::create_directory_symlink(device, root / "class" / className / name);
        return device / "uevent";
    }
    static std::string contents(const fs::path& file) {
        std::ifstream in(file);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    fs::path root;
};

TEST_F(LinuxBatteryManagerTest, WithoutTypeCOrPowerSuppliesThereIsNoService) {
    fs::create_directories(root / "class" / "typec");
    LinuxBatteryManager manager(root.string());
    EXPECT_EQ(manager.firstMatchingService("AppleSmartBatteryManager"), nullptr);
    addDevice("typec", "port0");
    EXPECT_EQ(manager.firstMatchingService("IOPMrootDomain"), nullptr);
    EXPECT_NE(manager.firstMatchingService("AppleSmartBatteryManager"), nullptr);
}

TEST_F(LinuxBatteryManagerTest, RefreshWritesChangeToEveryDeviceAndChecksItsArguments) {
    const auto port = addDevice("typec", "port0");
    const auto partner = addDevice("typec", "port0-partner");
    const auto supply = addDevice("power_supply", "ucsi-source-psy-1");
    LinuxBatteryManager manager(root.string());
    EXPECT_EQ(manager.ueventFiles().size(), 3u);
    auto service = manager.firstMatchingService("AppleSmartBatteryManager");
    ASSERT_NE(service, nullptr);
    EXPECT_EQ(service->open(1).code, kIOReturnBadArgument);
    auto opened = service->open(0);
    ASSERT_EQ(opened.code, kIOReturnSuccess);
    ASSERT_NE(opened.connection, nullptr);
    EXPECT_EQ(opened.connection->callMethod(3, {4}), kIOReturnUnsupported);
    EXPECT_EQ(opened.connection->callMethod(4, {}), kIOReturnBadArgument);
    EXPECT_EQ(opened.connection->callMethod(4, {4, 4}), kIOReturnBadArgument);
    EXPECT_EQ(contents(port), "") << "a refused call wrote something";
    EXPECT_EQ(opened.connection->callMethod(4, {4}), kIOReturnSuccess);
    for (const auto& file : {port, partner, supply}) EXPECT_EQ(contents(file), "change") << file;
}

}  // namespace
}  // namespace ampwell::platform::linux_
