#include "platform/linux/ImobiledeviceService.hpp"
#include "platform/linux/PlistValue.hpp"

#include <plist/plist.h>
#include <stdlib.h>

#include <gtest/gtest.h>

namespace ampwell::platform::linux_ {
namespace {

std::string describe(plist_t node) {
    auto value = propertyValueFromPlist(node);
    plist_free(node);
    return value ? value->describe() : "<none>";
}

TEST(ImobiledeviceService, LockdownValuesKeepTheirKinds) {
    plist_t battery = plist_new_dict();
    plist_dict_set_item(battery, "BatteryCurrentCapacity", plist_new_uint(87));
    plist_dict_set_item(battery, "BatteryIsCharging", plist_new_bool(1));
    plist_dict_set_item(battery, "ExternalConnected", plist_new_bool(0));
    EXPECT_EQ(describe(battery),
              "{\"BatteryCurrentCapacity\": 87, \"BatteryIsCharging\": true, \"ExternalConnected\": false}");
    EXPECT_EQ(describe(plist_new_string("iPad")), "\"iPad\"");
    EXPECT_EQ(describe(plist_new_real(87.5)), "87.5");
    EXPECT_EQ(describe(plist_new_uint(static_cast<std::uint64_t>(-1))), "-1");
    EXPECT_EQ(describe(plist_new_data("\x01\xff", 2)), "<01ff>");
    plist_t list = plist_new_array();
    plist_array_append_item(list, plist_new_uint(1));
    plist_array_append_item(list, plist_new_string("a"));
    EXPECT_EQ(describe(list), "[1, \"a\"]");
    EXPECT_EQ(propertyValueFromPlist(nullptr), std::nullopt);
}

TEST(ImobiledeviceService, WithoutUsbmuxdTheDeviceListIsEmpty) {
    // Point libusbmuxd at a socket nobody serves, whatever runs on this machine.
    ::setenv("USBMUXD_SOCKET_ADDRESS", "UNIX:/nonexistent/ampwell-usbmuxd", 1);
    ImobiledeviceService service;
    EXPECT_EQ(service.state(), MobileDeviceService::State::notLoaded);
    EXPECT_EQ(service.load(), MobileDeviceService::State::loaded);
    EXPECT_EQ(service.state(), MobileDeviceService::State::loaded);
    auto devices = service.createDeviceList();
    ASSERT_TRUE(devices);
    EXPECT_TRUE(devices->empty());
    ::unsetenv("USBMUXD_SOCKET_ADDRESS");
}

}  // namespace
}  // namespace ampwell::platform::linux_
