#include "app/entry/ApplicationLaunch.hpp"

#include "tests/unit/support/AppHarness.hpp"

#include <gtest/gtest.h>

namespace ampwell::test {
namespace {

// The harness wires the controller as the program does, so the application object must already
// know it: running the application launches it, and its quit item ends the run.
TEST(ApplicationLaunch, TheWiredControllerRunsAsAStatusBarAccessoryUntilItQuits) {
    AppHarness harness({.timeline = R"([{"at": 5, "ui": {"click": ["退出 Ampwell"]}}])"});
    auto& application = static_cast<platform::headless::HeadlessApplication&>(harness.desktop().application());
    EXPECT_EQ(application.activationPolicy(), platform::ActivationPolicy::accessory);
    EXPECT_EQ(application.run(), 0);
    EXPECT_EQ(harness.elapsed(), 5.0);
    ASSERT_TRUE(harness.app().statusItem());
    EXPECT_TRUE(harness.app().statusItem()->isVisible());
    EXPECT_EQ(harness.events("terminate").size(), 1u);
}

}  // namespace
}  // namespace ampwell::test
