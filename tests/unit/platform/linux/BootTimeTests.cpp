#include "platform/linux/BootTime.hpp"
#include "tests/unit/platform/linux/TempTree.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

namespace ampwell::platform::linux_ {
namespace {

TEST(BootTime, TheBtimeLineOfProcStatIsTheBootTime) {
    EXPECT_EQ(BootTime::fromProcStat("cpu  1 2 3\nintr 5\nbtime 1764990000\nprocesses 9\n"),
              std::optional<std::int64_t>(1764990000));
    EXPECT_EQ(BootTime::fromProcStat("cpu  1 2 3\n"), std::nullopt);
    EXPECT_EQ(BootTime::fromProcStat("btime soon\n"), std::nullopt);
    EXPECT_EQ(BootTime::fromProcStat("btime 0\n"), std::nullopt);
}

TEST(BootTime, WithoutProcStatTheClocksGiveTheSameAnswer) {
    TempTree temp;
    temp.sysfs().setAttribute("", "stat", "btime 1764990000");
    EXPECT_EQ(BootTime::read(temp.root()), std::optional<std::int64_t>(1764990000));

    TempTree empty;
    auto fromClocks = BootTime::read(empty.root());
    auto fromKernel = BootTime::read();
    ASSERT_TRUE(fromClocks && fromKernel);
    EXPECT_LE(std::llabs(*fromClocks - *fromKernel), 2);
}

}  // namespace
}  // namespace ampwell::platform::linux_
