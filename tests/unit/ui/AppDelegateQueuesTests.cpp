// The two background queues of the controller: the battery read and the USB reset. Their results
// cross to the main queue; these tests also run under ThreadSanitizer.
#include "tests/unit/support/AppHarness.hpp"

#include <gtest/gtest.h>

#include <atomic>

namespace ampwell::test {
namespace {

TEST(AppDelegateQueues, ManualRefreshesDuringARunningReadQueueExactlyOneMore) {
    AppHarness harness;
    harness.batteryReadSeconds = 3.0;
    harness.launch();  // starts the first read
    harness.runUntil(0.5);
    harness.app().manualRefresh();
    harness.app().manualRefresh();
    harness.app().manualRefresh();
    EXPECT_TRUE(harness.app().manualReadPending());
    // The first read ends at 3 s and the queued one runs from 3 s to 6 s; the next timed read is
    // not due before 7.95 s.
    harness.runUntil(7.5);
    EXPECT_EQ(harness.batteryReads, 2);
    EXPECT_FALSE(harness.app().batteryReadRunning());
    EXPECT_FALSE(harness.app().manualReadPending());
}

TEST(AppDelegateQueues, ASecondResetWhileOneRunsIsDroppedSilently) {
    AppHarness harness;
    harness.launch();
    std::atomic<int> runs{0};
    auto slowSuccess = [&] {
        ++runs;
        harness.platform().clock().sleepUntil(harness.platform().clock().now() + platform::Seconds(2));
        return ResetResult::success();
    };
    harness.app().startReset("Hub", slowSuccess);
    harness.app().startReset("Hub", slowSuccess);
    harness.app().performReset("00008103-001A", "1799990000:1234567");
    harness.runUntil(5);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(harness.alertMessages(), (std::vector<std::string>{"已发送 Hub USB 重置请求"}));
}

}  // namespace
}  // namespace ampwell::test
