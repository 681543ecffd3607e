#include "platform/linux/JournalLog.hpp"

#include <gtest/gtest.h>

namespace ampwell::platform::linux_ {
namespace {

TEST(JournalLog, WithoutAJournalToListenTheLineGoesToStandardError) {
    JournalLog log("ampwell", "/nonexistent/journal/socket");
    ::testing::internal::CaptureStderr();
    log.write("the settings file was set aside");
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "ampwell: the settings file was set aside\n");
}

}  // namespace
}  // namespace ampwell::platform::linux_
