// The listener's limits under attack by another program of the allowed user: what the attacker
// gets, and that the real client is still served.
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

// A peer that pipelines requests and never reads its replies: it stops being read once its
// replies back up, it is closed when they have not drained by the deadline, and the client is
// served meanwhile.
TEST_F(ListenerAttackTest, PeerThatNeverReadsItsRepliesIsBoundedAndClosed) {
    serve({.requestWindow = 300ms, .trustedOwnersOnly = false});
    const int attacker = connectTo(socketPath);
    ASSERT_GE(attacker, 0);
    ASSERT_EQ(::fcntl(attacker, F_SETFL, O_NONBLOCK), 0);
    const auto frame = RefreshWire::encodeRequest();
    std::size_t sent = 0;
    const auto until = std::chrono::steady_clock::now() + 2s;
    for (int i = 0; i < 200'000 && std::chrono::steady_clock::now() < until; ++i) {
        if (::send(attacker, frame.data(), frame.size(), MSG_NOSIGNAL) == 8)
            ++sent;
        else
            std::this_thread::sleep_for(1ms);
    }
    EXPECT_TRUE(servedOnce(socketPath));
    ASSERT_TRUE(eventually([&] { return listener->openConnectionCount() == 0; }))
        << "the connection that does not read was never closed";
    std::vector<std::uint8_t> replies(sent * RefreshWire::kReplySize);
    ASSERT_EQ(::fcntl(attacker, F_SETFL, 0), 0);
    const std::size_t got = readUpTo(attacker, replies.data(), replies.size());
    EXPECT_LT(got / RefreshWire::kReplySize, sent) << "every request was answered: nothing held the peer back";
    ::close(attacker);
}

// A peer that stays connected for as long as its other limits allow does not stay for ever.
TEST_F(ListenerAttackTest, ConnectionsEndAtTheirHardLifetime) {
    serve({.maxPendingPerConnection = 1, .requestWindow = 60s, .lifetime = 300ms, .trustedOwnersOnly = false});
    const int peer = connectTo(socketPath);
    ASSERT_GE(peer, 0);
    ASSERT_TRUE(eventually([&] { return listener->openConnectionCount() == 1; }));
    ASSERT_TRUE(eventually([&] { return listener->openConnectionCount() == 0; }))
        << "a connection outlived its lifetime";
    std::uint8_t byte = 0;
    EXPECT_EQ(::recv(peer, &byte, 1, 0), 0);
    ::close(peer);
}

// Another process of the allowed user takes every connection it can and trickles requests over
// them, as the client's own program would: the client still gets in and is answered.
TEST_F(ListenerAttackTest, OneProcessCannotHoldEveryConnection) {
    serve({.maxConnections = 8, .maxConnectionsPerPeer = 2, .requestWindow = 10s, .trustedOwnersOnly = false});
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
    const auto request = RefreshWire::encodeRequest();
    const std::string path = socketPath;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls from here on: the parent has threads.
        ::close(release[1]);
        ::close(ready[0]);
        int held[8];
        for (int& fd : held) {
            fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
            if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0) {
                [[maybe_unused]] const ssize_t sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            }
        }
        [[maybe_unused]] const ssize_t told = ::write(ready[1], "r", 1);
        pollfd released{release[0], POLLIN, 0};
        ::poll(&released, 1, 10'000);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1);
    EXPECT_TRUE(servedOnce(socketPath)) << "the other process locked the client out";
    ::close(release[1]);
    ::close(ready[0]);
    int status = 0;
    EXPECT_EQ(::waitpid(child, &status, 0), child);
}

}  // namespace
}  // namespace ampwell::test
