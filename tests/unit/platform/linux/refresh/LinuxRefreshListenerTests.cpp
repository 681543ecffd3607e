// Attacks on the daemon's listener by another program of the allowed user, each through the real
// listener on a temporary socket: what the attacker gets, and that the real client is still served.
#include "platform/linux/refresh/LinuxRefreshListener.hpp"

#include "contract/PowerRefreshService.hpp"
#include "contract/RefreshWire.hpp"
#include "daemon/RefreshHelper.hpp"
#include "platform/linux/refresh/DaemonSockets.hpp"
#include "platform/linux/refresh/ExecutableDigest.hpp"
#include "platform/linux/refresh/RefusalLog.hpp"
#include "platform/sim/SimMainQueue.hpp"
#include "tests/unit/daemon/FakeBatteryManager.hpp"

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
#include <fstream>
#include <mutex>
#include <thread>

namespace ampwell {
namespace {

namespace linux_ = platform::linux_;
using namespace std::chrono_literals;

constexpr double kStart = 1'800'000'000;

int connectTo(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads until `size` bytes, the end of the stream or 5 seconds without a byte; the bytes read.
std::size_t readUpTo(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        pollfd polled{fd, POLLIN, 0};
        if (::poll(&polled, 1, 5000) <= 0) break;
        const ssize_t count = ::recv(fd, data + got, size - got, 0);
        if (count <= 0) break;
        got += static_cast<std::size_t>(count);
    }
    return got;
}

// One request on a new connection, as the client makes it; whether a reply came.
bool servedOnce(const std::string& path) {
    const int fd = connectTo(path);
    if (fd < 0) return false;
    const auto request = RefreshWire::encodeRequest();
    RefreshWire::ReplyFrame reply{};
    const bool served = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) == 8 &&
                        readUpTo(fd, reply.data(), reply.size()) == reply.size();
    ::close(fd);
    return served;
}

// Waits at most 10 seconds for `condition`.
template <typename Condition>
bool eventually(Condition condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(10ms);
    }
    return condition();
}

// The lines the listener would send to the journal.
class RecordingLog final : public platform::SystemLog {
public:
    void write(const std::string& line) override {
        std::lock_guard lock(mutex_);
        lines_.push_back(line);
    }
    std::vector<std::string> lines() const {
        std::lock_guard lock(mutex_);
        return lines_;
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
};

class ListenerAttackTest : public ::testing::Test {
protected:
    ListenerAttackTest()
        : directory(std::filesystem::temp_directory_path() / ("ampwelld-attack-" + std::to_string(::getpid()))),
          clock(platform::dateFromSecondsSince1970(kStart), 0, kStart - 1000),
          queue(clock) {
        std::filesystem::create_directories(directory);
        socketPath = (directory / "refresh.sock").string();
    }

    // A stand-in for /proc in which process `pid` runs `executable`.
    std::string fakeProcWith(pid_t pid, const std::filesystem::path& executable) {
        const auto root = directory / "proc";
        std::filesystem::create_directories(root / std::to_string(pid));
        std::filesystem::create_symlink(executable, root / std::to_string(pid) / "exe");
        return root.string();
    }
    // A program of `mebibytes` MiB, not yet seen by anyone.
    std::filesystem::path bigProgram(std::size_t mebibytes, std::filesystem::perms mode) {
        const auto path = directory / ("big-" + std::to_string(mebibytes));
        { std::ofstream(path) << "#!"; }
        std::filesystem::resize_file(path, mebibytes << 20);
        std::filesystem::permissions(path, mode);
        return path;
    }
    ~ListenerAttackTest() override {
        listener.reset();
        std::filesystem::remove_all(directory);
    }

    void serve(linux_::LinuxRefreshListener::Options options) {
        helper = std::make_unique<RefreshHelper>(battery, queue, clock, ::geteuid(), [](int) {});
        std::string problem;
        const int fd = linux_::bindListeningSocket(socketPath, bound, problem);
        ASSERT_GE(fd, 0) << problem;
        listener = std::make_unique<linux_::LinuxRefreshListener>(std::vector<int>{fd}, options);
        listener->setConnectionCodeSigningRequirement(
            platform::CodeRequirement::forSha256(*linux_::sha256OfFile("/proc/self/exe")));
        listener->setDelegate(helper.get());
        listener->resume();
    }

    std::filesystem::path directory;
    std::string socketPath;
    test::FakeBatteryManager battery;
    platform::sim::SimClock clock;
    platform::sim::SimMainQueue queue;
    std::unique_ptr<RefreshHelper> helper;
    linux_::BoundSocketPath bound;
    std::unique_ptr<linux_::LinuxRefreshListener> listener;
};

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
}  // namespace ampwell
