// Tests of the Linux backend against a faked sysfs and faked udev events (umockdev).
//
// They run through umockdev-wrapper, which preloads libumockdev-preload to redirect /sys, /dev
// and udev's netlink socket into the testbed. That preload wraps open, stat, readlink, socket and
// friends itself, which clashes with the AddressSanitizer/ThreadSanitizer runtimes (both insist on
// coming first and intercept the same calls), so these tests are built only outside the sanitizer
// presets. The backend's pure parts are unit-tested in tests/unit/platform/linux, under sanitizers
// too.

#include "platform/linux/SysfsTree.hpp"
#include "tests/linux/Testbed.hpp"

#include <gtest/gtest.h>
#include <umockdev.h>

#include <memory>

namespace ampwell::platform::linux_ {

namespace {

UMockdevTestbed* gTestbed = nullptr;

}  // namespace

UMockdevTestbed* testbed() { return gTestbed; }

FakeSysfs& testbedSysfs() {
    static FakeSysfs sysfs([] {
        gchar* dir = umockdev_testbed_get_sys_dir(gTestbed);
        std::string path(dir);
        g_free(dir);
        return path;
    }());
    return sysfs;
}

void sendUevent(const std::string& devpath, const char* action) {
    umockdev_testbed_uevent(gTestbed, joinPath(kDefaultSysfsRoot, devpath).c_str(), action);
}

}  // namespace ampwell::platform::linux_

int main(int argc, char** argv) {
    // The testbed sets environment variables its preload reads; setenv is not safe once other
    // threads run, so it is made before GoogleTest or GLib start any.
    ampwell::platform::linux_::gTestbed = umockdev_testbed_new();
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    g_object_unref(ampwell::platform::linux_::gTestbed);
    return status;
}
