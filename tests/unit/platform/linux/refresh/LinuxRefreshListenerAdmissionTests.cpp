// Who the listener lets in, under attack by another program of the allowed user: executables
// that cannot be the client, large ones, requests written by another process, and the journal.
#include "platform/linux/refresh/LinuxRefreshListener.hpp"

#include "tests/unit/platform/linux/refresh/ListenerAttackFixture.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>

namespace ampwell::test {
namespace {

using namespace std::chrono_literals;

// An executable that someone but root may have written cannot be the installed client: it is
// refused before a byte of it is read, however large.
TEST_F(ListenerAttackTest, ExecutableThatCannotBeTheClientIsRefusedUnread) {
    using std::filesystem::perms;
    const auto program = bigProgram(256, perms::owner_all | perms::group_all | perms::others_read);
    serve({.procRoot = fakeProcWith(::getpid(), program), .trustedOwnersOnly = true});
    EXPECT_FALSE(servedOnce(socketPath));
    EXPECT_EQ(listener->verifier().digestsComputed(), 0u);
}

// Another process of the user runs a large program and reconnects as fast as it can: its
// executable is hashed away from the listener, one hash at a time, and the client is served.
TEST_F(ListenerAttackTest, HashingALargeExecutableDoesNotStallTheClient) {
    using std::filesystem::perms;
    const auto program = bigProgram(256, perms::owner_all | perms::group_write);
    int release[2];
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
    const std::string path = socketPath;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls from here on: the parent has threads. At most 2000 connections.
        ::close(release[1]);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        for (int i = 0; i < 2000; ++i) {
            pollfd released{release[0], POLLIN, 0};
            if (::poll(&released, 1, 5) != 0) break;
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
            ::close(fd);
        }
        ::_exit(0);
    }
    ::close(release[0]);
    const auto root = fakeProcWith(child, program);
    fakeProcWith(::getpid(), std::filesystem::read_symlink("/proc/self/exe"));
    serve({.procRoot = root, .trustedOwnersOnly = false});
    ASSERT_TRUE(eventually([&] { return listener->verifier().digestsComputed() >= 1; }));
    EXPECT_TRUE(servedOnce(socketPath)) << "the client waited behind another program's hash";
    ::close(release[1]);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
}

// A process connects, is checked, and another process holding the same socket writes the
// request: the request is refused, whoever runs what.
TEST_F(ListenerAttackTest, RequestWrittenByAnotherProcessThanTheCheckedOneIsRefused) {
    serve({.trustedOwnersOnly = false});
    const int shared = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls from here on: the parent has threads.
        ::close(release[1]);
        const bool connected = ::connect(shared, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        [[maybe_unused]] const ssize_t told = ::write(ready[1], connected ? "c" : "x", 1);
        pollfd released{release[0], POLLIN, 0};
        ::poll(&released, 1, 10'000);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    ASSERT_EQ(byte, 'c');
    ASSERT_TRUE(eventually([&] { return listener->openConnectionCount() == 1; }));
    const auto request = RefreshWire::encodeRequest();
    ASSERT_EQ(::send(shared, request.data(), request.size(), MSG_NOSIGNAL), 8);
    RefreshWire::ReplyFrame reply{};
    EXPECT_EQ(readUpTo(shared, reply.data(), reply.size()), 0u) << "a request from another writer was answered";
    ::close(release[1]);
    ::close(ready[0]);
    ::close(shared);
    EXPECT_EQ(::waitpid(child, nullptr, 0), child);
}

// Another program of the user knocks again and again: each refusal names the user, the process
// and the reason, and the journal gets a bounded number of lines however long it goes on.
TEST_F(ListenerAttackTest, RefusalsAreLoggedWithUserProcessAndReasonAtABoundedRate) {
    RecordingLog log;
    serve({.procRoot = fakeProcWith(::getpid(), bigProgram(1, std::filesystem::perms::owner_all)),
           .trustedOwnersOnly = false,
           .log = &log});
    for (int i = 0; i < 40; ++i) EXPECT_FALSE(servedOnce(socketPath));
    listener.reset();
    const auto lines = log.lines();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), "refused uid=" + std::to_string(::geteuid()) + " pid=" + std::to_string(::getpid()) +
                                 ": its executable is not the allowed client");
    EXPECT_LE(lines.size(), linux_::RefusalLog::kLinesPerWindow + 1);
}

}  // namespace
}  // namespace ampwell::test
