#pragma once

#include "platform/base/Clock.hpp"
#include "platform/linux/GLibMainQueue.hpp"
#include "platform/linux/LinuxRegistry.hpp"
#include "tests/linux/FakeLaptop.hpp"
#include "tests/linux/Testbed.hpp"
#include "tests/unit/support/ManualClock.hpp"

#include <glib.h>
#include <gtest/gtest.h>

namespace ampwell::platform::linux_ {

// The faked laptop's registry with its udev events served on a GLib loop of the test's own. The
// loop runs on the real clock, since the events arrive in real time; the registry stamps its
// times on a manual clock, so that they are the same on every run.
class LaptopOnLoopTest : public ::testing::Test {
protected:
    void SetUp() override {
        sysfs.clear();
        laptop.build(sysfs);
    }
    void TearDown() override { g_main_context_unref(context); }

    // Runs the loop until `calls` moves past `from` (at most two seconds), then a little longer
    // so that a second, unwanted call would show.
    void runUntilCalled(const int& calls, int from) {
        queue.runUntil(realClock.now() + Seconds(2), [&] { return calls > from; });
        settle();
    }
    void settle() { queue.runUntil(realClock.now() + Seconds(0.15)); }

    FakeSysfs& sysfs = testbedSysfs();
    FakeLaptop laptop;
    SystemClock realClock;
    test::ManualClock registryClock{dateFromSecondsSince1970(1796000000.0)};
    GMainContext* context = g_main_context_new();
    GLibMainQueue queue{realClock, context};
    LinuxRegistry registry{kDefaultSysfsRoot, registryClock, &queue};
};

}  // namespace ampwell::platform::linux_
