// The socket the daemon binds itself (test mode), against a directory someone else controls.
#include "platform/linux/refresh/DaemonSockets.hpp"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace ampwell::platform::linux_ {
namespace {

namespace fs = std::filesystem;

class DaemonSocketsTest : public ::testing::Test {
protected:
    DaemonSocketsTest() : directory(fs::temp_directory_path() / ("daemon-sockets-" + std::to_string(::getpid()))) {
        fs::create_directories(directory / "sockets");
        fs::permissions(directory / "sockets", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    }
    ~DaemonSocketsTest() override { fs::remove_all(directory); }

    fs::path directory;
};

// A directory another user may write lets that user swap the socket for a link to a file of
// root's between the daemon's steps: the daemon does not make its socket there, and the file the
// link would point to keeps its mode.
TEST_F(DaemonSocketsTest, DirectoryOtherUsersCanWriteIsRefused) {
    const auto secret = directory / "secret";
    { std::ofstream(secret) << "x"; }
    fs::permissions(secret, fs::perms::owner_read | fs::perms::owner_write);
    fs::permissions(directory / "sockets", fs::perms::all);
    BoundSocketPath bound;
    std::string problem;
    EXPECT_EQ(bindListeningSocket((directory / "sockets" / "refresh.sock").string(), bound, problem), -1);
    EXPECT_NE(problem.find("other users may write"), std::string::npos) << problem;
    EXPECT_FALSE(fs::exists(directory / "sockets" / "refresh.sock"));
    EXPECT_EQ(fs::status(secret).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    // Reachable by every user, whatever the process's umask, in a directory of its own.
    fs::permissions(directory / "sockets", fs::perms::owner_all | fs::perms::group_read | fs::perms::others_read);
    const mode_t previous = ::umask(077);
    const int fd = bindListeningSocket((directory / "sockets" / "refresh.sock").string(), bound, problem);
    ::umask(previous);
    ASSERT_GE(fd, 0) << problem;
    struct stat status {};
    ASSERT_EQ(::lstat((directory / "sockets" / "refresh.sock").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0666u);
    ::close(fd);
}

}  // namespace
}  // namespace ampwell::platform::linux_
