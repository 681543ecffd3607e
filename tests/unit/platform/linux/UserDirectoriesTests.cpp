#include "platform/linux/UserDirectories.hpp"
#include "tests/unit/platform/linux/TempTree.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace ampwell::platform::linux_ {
namespace {

TEST(UserDirectories, XdgVariablesWinWhenAbsoluteAndHomeFillsIn) {
    auto set = UserDirectories::resolve("/cfg", "/run/user/1000", "/home/a", 1000);
    EXPECT_EQ(set.defaultsPath(), "/cfg/ampwell/defaults.json");
    EXPECT_EQ(set.runtimeDirectory, "/run/user/1000");

    auto unset = UserDirectories::resolve(nullptr, "relative/run", "/home/a/", 1000);
    EXPECT_EQ(unset.configHome, "/home/a/.config");
    EXPECT_EQ(unset.runtimeDirectory, "/tmp/ampwell-1000");
    EXPECT_EQ(UserDirectories::resolve("relative", nullptr, "/home/b", 7).configHome, "/home/b/.config");
}

TEST(UserDirectories, OnlyAPrivateDirectoryOfOurOwnIsAcceptedForTheLock) {
    TempTree temp;
    const std::string mine = temp.root() + "/mine";
    EXPECT_TRUE(preparePrivateDirectory(mine, ::geteuid()));
    EXPECT_TRUE(preparePrivateDirectory(mine, ::geteuid()));  // again: already there
    EXPECT_FALSE(preparePrivateDirectory(mine, ::geteuid() + 1));

    const std::string open = temp.root() + "/open";
    ::mkdir(open.c_str(), 0777);
    ::chmod(open.c_str(), 0777);
    EXPECT_FALSE(preparePrivateDirectory(open, ::geteuid()));

    const std::string link = temp.root() + "/link";
    ::symlink(mine.c_str(), link.c_str());
    EXPECT_FALSE(preparePrivateDirectory(link, ::geteuid()));
}

}  // namespace
}  // namespace ampwell::platform::linux_
