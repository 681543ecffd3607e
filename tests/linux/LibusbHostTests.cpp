#include "app/reset/ResetError.hpp"
#include "app/reset/USBDeviceResetter.hpp"
#include "platform/linux/LibusbHost.hpp"
#include "platform/linux/LinuxRegistry.hpp"
#include "tests/linux/Testbed.hpp"
#include "tests/unit/support/ManualClock.hpp"

#include <libusb.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <umockdev.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <cerrno>

namespace ampwell::platform::linux_ {
namespace {

// An iPad at bus 1, address 2, with a usbfs node whose USBDEVFS_RESET the test answers.
constexpr const char* kDescriptors =
    "1201000200000040AC05AB1200010102030109022000010100C0FA0904000002FF0000000705810240000007050202400000";
constexpr const char* kNode = "/dev/bus/usb/001/002";

std::atomic<int> gResetErrno{0};
std::atomic<int> gResets{0};

gboolean answerIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer) {
    if (umockdev_ioctl_client_get_request(client) == USBDEVFS_RESET) {
        ++gResets;
        const int error = gResetErrno.load();
        umockdev_ioctl_client_complete(client, error != 0 ? -1 : 0, error);
    } else {
        umockdev_ioctl_client_complete(client, -1, ENOTTY);
    }
    return TRUE;
}

// A registry entry with hand-made properties, for what the registry never hands out.
class HandMadeEntry final : public RegistryEntry {
public:
    explicit HandMadeEntry(PropertyDictionary properties) : properties_(std::move(properties)) {}
    EntryID entryID() const override { return 7; }
    std::string className() const override { return "IOUSBHostDevice"; }
    bool conformsTo(const std::string& name) const override { return name == className(); }
    std::optional<PropertyDictionary> properties() const override { return properties_; }
    std::optional<PropertyValue> property(const std::string& key) const override {
        auto found = properties_.find(key);
        return found == properties_.end() ? std::nullopt : std::optional(found->second);
    }
    std::unique_ptr<RegistryEntry> parent(const std::string&) const override { return nullptr; }
    std::vector<std::unique_ptr<RegistryEntry>> children(const std::string&) const override { return {}; }
    bool inPlane(const std::string&) const override { return true; }

private:
    PropertyDictionary properties_;
};

class LibusbHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        testbedSysfs().clear();
        const std::string description = std::string("P: /devices/pci0000:00/0000:00:14.0/usb1/1-1\n") +
                                        "N: bus/usb/001/002=" + kDescriptors + "\n" +
                                        "E: DEVNAME=/dev/bus/usb/001/002\nE: DEVTYPE=usb_device\nE: SUBSYSTEM=usb\n"
                                        "E: USEC_INITIALIZED=52000000\n"
                                        "A: busnum=1\nA: devnum=2\nA: dev=189:2\nA: idVendor=05ac\nA: idProduct=12ab\n"
                                        "A: product=iPad\nA: serial=00008103001A2B3C4D5E6F70\nA: speed=480\n"
                                        "H: descriptors=" + kDescriptors + "\n";
        GError* error = nullptr;
        ASSERT_TRUE(umockdev_testbed_add_from_string(testbed(), description.c_str(), &error));
        handler = umockdev_ioctl_base_new();
        g_signal_connect(handler, "handle-ioctl", G_CALLBACK(answerIoctl), nullptr);
        ASSERT_TRUE(umockdev_testbed_attach_ioctl(testbed(), kNode, handler, &error));
        gResetErrno = 0;
        gResets = 0;
        iPad = registry.firstMatchingService("IOUSBHostDevice");
        ASSERT_TRUE(iPad);
    }
    void TearDown() override {
        umockdev_testbed_detach_ioctl(testbed(), kNode, nullptr);
        g_object_unref(handler);
        // The node and umockdev's note of its device number, so that the next test can add it again.
        gchar* root = umockdev_testbed_get_root_dir(testbed());
        std::filesystem::remove(std::string(root) + kNode);
        std::filesystem::remove(std::string(root) + "/dev/.node/bus_usb_001_002");
        g_free(root);
    }

    UMockdevIoctlBase* handler = nullptr;
    test::ManualClock clock{dateFromSecondsSince1970(1796000000.0)};
    LinuxRegistry registry{kDefaultSysfsRoot, clock, nullptr};
    std::unique_ptr<RegistryEntry> iPad;
    LibusbHost host;
};

TEST_F(LibusbHostTest, AScriptedResetGoesThroughUsbfs) {
    auto opened = host.open(*iPad);
    ASSERT_TRUE(opened.client) << opened.error.description;
    EXPECT_EQ(opened.client->reset(), std::nullopt);
    // The device had to be enumerated anew: the reset still happened.
    gResetErrno = ENODEV;
    EXPECT_EQ(opened.client->reset(), std::nullopt);
    EXPECT_EQ(gResets.load(), 2);
}

TEST_F(LibusbHostTest, AFailedResetComesBackAsTheHostsError) {
    auto opened = host.open(*iPad);
    ASSERT_TRUE(opened.client);
    gResetErrno = EIO;
    auto error = opened.client->reset();
    ASSERT_TRUE(error);
    EXPECT_EQ(*error, (UsbHostError{"libusb", kResultError, "Other error (LIBUSB_ERROR_OTHER)"}));
    EXPECT_EQ(ResetError::resetFailed(*error).errorDescription(),
              "系统未能完成 USB 设备重置，请尝试手动重新插拔。（libusb，-536870212：Other error (LIBUSB_ERROR_OTHER)）");
}

TEST_F(LibusbHostTest, ADeviceThatCannotBeFoundOrOpenedGivesNoClient) {
    // Its node vanished: unplugged between the registry read and the open.
    gchar* root = umockdev_testbed_get_root_dir(testbed());
    ::unlink((std::string(root) + kNode).c_str());
    g_free(root);
    auto gone = host.open(*iPad);
    EXPECT_FALSE(gone.client);
    EXPECT_EQ(gone.error.code, static_cast<std::int32_t>(0xE00002C0));

    // Another kind of device now sits at that address.
    auto other = host.open(HandMadeEntry({{"USB Bus Number", PropertyValue::wholeNumber(1)},
                                          {"USB Address", PropertyValue::wholeNumber(2)},
                                          {"idVendor", PropertyValue::wholeNumber(0x046d)}}));
    EXPECT_FALSE(other.client);
    EXPECT_EQ(other.error.code, static_cast<std::int32_t>(0xE00002C0));

    auto nameless = host.open(HandMadeEntry({}));
    EXPECT_FALSE(nameless.client);
    EXPECT_EQ(nameless.error.domain, "libusb");
}

TEST_F(LibusbHostTest, TheResetterFindsVerifiesAndResetsTheIPadThroughTheLinuxBackend) {
    USBDeviceResetter resetter(registry, host);
    auto targets = resetter.availableTargets();
    ASSERT_EQ(targets.size(), 1u);
    EXPECT_EQ(targets[0].productName, "iPad");
    EXPECT_EQ(targets[0].sessionID, "52000000");
    EXPECT_EQ(targets[0].vendorID, std::optional<std::int64_t>(1452));
    EXPECT_EQ(targets[0].registryID, iPad->entryID());

    EXPECT_TRUE(resetter.resetIPad("00008103-001A2B3C4D5E6F70", std::string("52000000")).succeeded());
    EXPECT_EQ(gResets.load(), 1);
    // A stale connection identifier: nothing is reset.
    auto stale = resetter.resetIPad("00008103001a2b3c4d5e6f70", std::string("51000000"));
    ASSERT_FALSE(stale.succeeded());
    EXPECT_EQ(stale.error()->kind(), ResetError::Kind::changedConnection);
    EXPECT_EQ(gResets.load(), 1);
}

TEST(LibusbHostErrors, MissingPermissionsAndABusyDeviceGetTheirOwnMessages) {
    EXPECT_EQ(ResetError::cannotOpen(LibusbHost::errorFor(LIBUSB_ERROR_ACCESS)).errorDescription(),
              "系统不允许当前应用访问 USB 重置接口。（libusb，-536870207：Access denied (insufficient permissions) "
              "(LIBUSB_ERROR_ACCESS)；登录用户只能重置 iPad 和 iPhone（需要安装 Ampwell 的 udev 规则 "
              "70-ampwell.rules 后重新插入设备），重置其他 USB 设备需要 root 权限）");
    // Only missing permissions get the hint: a busy device is not helped by the udev rule.
    EXPECT_EQ(LibusbHost::errorFor(LIBUSB_ERROR_BUSY).description, "Resource busy (LIBUSB_ERROR_BUSY)");
    EXPECT_EQ(LibusbHost::errorFor(LIBUSB_ERROR_BUSY).code, kResultExclusiveAccess);
    EXPECT_EQ(LibusbHost::errorFor(LIBUSB_ERROR_NO_DEVICE).code, static_cast<std::int32_t>(0xE00002C0));
    EXPECT_EQ(LibusbHost::errorFor(LIBUSB_ERROR_PIPE).code, kResultError);
}

}  // namespace
}  // namespace ampwell::platform::linux_
