// The daemon's service socket end to end: real Unix sockets in a temporary directory, the real
// listener, peer checks and request handling, with the battery manager and uptime under the
// test's control.
#include "app/refresh/SystemPowerRefresher.hpp"
#include "contract/PowerRefreshService.hpp"
#include "contract/RefreshWire.hpp"
#include "daemon/RefreshHelper.hpp"
#include "platform/linux/refresh/DaemonSockets.hpp"
#include "platform/linux/refresh/ExecutableDigest.hpp"
#include "platform/linux/refresh/LinuxRefreshConnector.hpp"
#include "platform/linux/refresh/LinuxRefreshListener.hpp"
#include "platform/sim/SimMainQueue.hpp"
#include "tests/unit/daemon/FakeBatteryManager.hpp"
#include "tests/unit/support/MemoryDefaults.hpp"

#include <gtest/gtest.h>

#include <grp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

namespace ampwell {
namespace {

using platform::dateFromSecondsSince1970;
using PowerRefreshService::kIOReturnBusy;
namespace linux_ = platform::linux_;

constexpr double kStart = 1'800'000'000;

std::size_t openDescriptors() {
    std::size_t count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

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

// Reads exactly `size` bytes within 5 seconds; false on end of stream, error or time-out.
bool readExactly(int fd, std::uint8_t* data, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        pollfd polled{fd, POLLIN, 0};
        if (::poll(&polled, 1, 5000) <= 0) return false;
        const ssize_t count = ::recv(fd, data + got, size - got, 0);
        if (count <= 0) return false;
        got += static_cast<std::size_t>(count);
    }
    return true;
}

// Sends `frames` requests on one new connection and collects the replies; fewer replies than
// requests means the daemon closed the connection.
std::vector<std::uint32_t> requestOver(const std::string& path, int frames = 1) {
    std::vector<std::uint32_t> replies;
    const int fd = connectTo(path);
    if (fd < 0) return replies;
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < frames; ++i) {
        const auto frame = RefreshWire::encodeRequest();
        bytes.insert(bytes.end(), frame.begin(), frame.end());
    }
    if (::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size())) {
        for (int i = 0; i < frames; ++i) {
            RefreshWire::ReplyFrame reply{};
            if (!readExactly(fd, reply.data(), reply.size())) break;
            replies.push_back(RefreshWire::decodeReply(reply));
        }
    }
    ::close(fd);
    return replies;
}

std::string ownDigest() { return *linux_::sha256OfFile("/proc/self/exe"); }

class RefreshSocketTest : public ::testing::Test {
protected:
    RefreshSocketTest()
        : directory(std::filesystem::temp_directory_path() / ("ampwelld-test-" + std::to_string(::getpid()))),
          clock(dateFromSecondsSince1970(kStart), 0, kStart - 1000),
          queue(clock) {
        std::filesystem::create_directories(directory);
        socketPath = (directory / "refresh.sock").string();
        descriptorsBefore = openDescriptors();
    }
    ~RefreshSocketTest() override { std::filesystem::remove_all(directory); }

    // The daemon's side, serving `userID` and the executable whose digest is `digest`.
    void serve(std::uint32_t userID, const std::string& digest, linux_::LinuxRefreshListener::Options options = {}) {
        helper = std::make_unique<RefreshHelper>(battery, queue, clock, userID, [](int) {});
        options.trustedOwnersOnly = false;  // the client is this test, which need not be root's
        std::string problem;
        const int fd = linux_::bindListeningSocket(socketPath, bound, problem);
        ASSERT_GE(fd, 0) << problem;
        listener = std::make_unique<linux_::LinuxRefreshListener>(std::vector<int>{fd}, options);
        listener->setConnectionCodeSigningRequirement(platform::CodeRequirement::forSha256(digest));
        listener->setDelegate(helper.get());
        listener->resume();
    }
    void stop() {
        listener.reset();
        helper.reset();
        bound = {};
    }

    std::filesystem::path directory;
    std::string socketPath;
    std::size_t descriptorsBefore = 0;
    test::FakeBatteryManager battery;
    platform::sim::SimClock clock;
    platform::sim::SimMainQueue queue;
    std::unique_ptr<RefreshHelper> helper;
    linux_::BoundSocketPath bound;
    std::unique_ptr<linux_::LinuxRefreshListener> listener;
};

TEST_F(RefreshSocketTest, AllowedClientIsAnsweredAndBusyHoldsUntilTwoSecondsOfUptime) {
    serve(::geteuid(), ownDigest());
    EXPECT_EQ(requestOver(socketPath), std::vector<std::uint32_t>{0});
    clock.advanceTo(1.9);
    EXPECT_EQ(requestOver(socketPath), std::vector<std::uint32_t>{kIOReturnBusy});
    clock.advanceTo(2.0);
    EXPECT_EQ(requestOver(socketPath), std::vector<std::uint32_t>{0});
    EXPECT_EQ(battery.commands(), 2);
    // A root-owned executable nobody else may write is hashed once and then known by its identity.
    struct stat status {};
    ASSERT_EQ(::stat("/proc/self/exe", &status), 0);
    if (status.st_uid == 0 && (status.st_mode & 0022) == 0) {
        EXPECT_EQ(listener->verifier().digestsComputed(), 1u);
    }
}

TEST_F(RefreshSocketTest, PeerRunningAsAnotherUserIsRefusedWithoutAReply) {
    if (::geteuid() != 0) GTEST_SKIP() << "changing user IDs needs root";
    serve(::geteuid(), ownDigest());
    const auto request = RefreshWire::encodeRequest();
    const std::string path = socketPath;
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only system calls from here on: the parent has threads.
        if (::setgroups(0, nullptr) != 0 || ::setresgid(65534, 65534, 65534) != 0 ||
            ::setresuid(65534, 65534, 65534) != 0)
            ::_exit(3);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(4);
        [[maybe_unused]] const ssize_t sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        std::uint8_t reply[4];
        const ssize_t got = ::recv(fd, reply, sizeof reply, 0);
        ::_exit(got <= 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the foreign user got a reply; 3, 4: the child could not set up";
    EXPECT_EQ(battery.lookups(), 0);
    EXPECT_EQ(listener->verifier().digestsComputed(), 0u) << "a foreign user's executable was hashed";
}

TEST_F(RefreshSocketTest, OtherExecutableAndMalformedFramesAreClosedWithoutAReply) {
    serve(::geteuid(), std::string(64, '0'));
    EXPECT_TRUE(requestOver(socketPath).empty());
    EXPECT_EQ(battery.lookups(), 0);
    stop();

    serve(::geteuid(), ownDigest());
    const int fd = connectTo(socketPath);
    const std::uint8_t wrong[] = {'A', 'M', 'P', 'R', 2, 0, 1, 0};
    ASSERT_EQ(::send(fd, wrong, sizeof wrong, MSG_NOSIGNAL), 8);
    std::uint8_t reply[4];
    EXPECT_FALSE(readExactly(fd, reply, sizeof reply));
    ::close(fd);
    // Half a request and then the end: no request.
    const int half = connectTo(socketPath);
    ASSERT_EQ(::send(half, wrong, 4, MSG_NOSIGNAL), 4);
    ::shutdown(half, SHUT_WR);
    EXPECT_FALSE(readExactly(half, reply, sizeof reply));
    ::close(half);
    EXPECT_EQ(battery.lookups(), 0);
}

TEST_F(RefreshSocketTest, ThousandRequestsInABurstHoldTheLimitAndLeakNothing) {
    // All eleven clients are threads of this one process.
    serve(::geteuid(), ownDigest(), {.maxConnectionsPerPeer = 11});
    std::atomic<int> answered{0};
    std::atomic<int> accepted{0};
    std::vector<std::thread> clients;
    for (int t = 0; t < 10; ++t) {
        clients.emplace_back([&] {
            for (int i = 0; i < 50; ++i)
                for (const auto status : requestOver(socketPath)) {
                    ++answered;
                    if (status == 0) ++accepted;
                }
        });
    }
    // And 500 requests pipelined on one connection, answered in order.
    const auto pipelined = requestOver(socketPath, 500);
    for (auto& client : clients) client.join();
    EXPECT_EQ(pipelined.size(), 500u);
    for (const auto status : pipelined) accepted += status == 0 ? 1 : 0;
    EXPECT_EQ(answered.load(), 500);
    EXPECT_EQ(accepted.load(), 1) << "the uptime stood still, so exactly one request may pass";
    EXPECT_EQ(battery.commands(), 1);
    stop();
    queue.runUntil(clock.now());
    EXPECT_EQ(openDescriptors(), descriptorsBefore);
    EXPECT_FALSE(std::filesystem::exists(socketPath)) << "the socket file outlived the daemon";
}

// The client over the real socket against a daemon stand-in that answers late or not at all.
class SocketClientTest : public ::testing::Test {
protected:
    // Virtual time runs 20 times as fast as real time: the 3-second time-out takes 0.15 s.
    SocketClientTest()
        : directory(std::filesystem::temp_directory_path() / ("ampwell-client-" + std::to_string(::getpid()))),
          clock(platform::SystemClock().now(), 20),
          queue(clock) {
        std::filesystem::create_directories(directory);
        socketPath = (directory / "refresh.sock").string();
    }
    ~SocketClientTest() override {
        if (server.joinable()) server.join();
        std::filesystem::remove_all(directory);
    }

    // Accepts one connection, reads the request and answers `status` after `delay` real seconds,
    // or closes without answering.
    void standIn(std::optional<std::uint32_t> status, double delay) {
        std::string problem;
        listening = linux_::bindListeningSocket(socketPath, bound, problem);
        ASSERT_GE(listening, 0) << problem;
        server = std::thread([this, status, delay] {
            pollfd polled{listening, POLLIN, 0};
            ::poll(&polled, 1, 5000);
            const int fd = ::accept4(listening, nullptr, nullptr, SOCK_CLOEXEC);
            std::uint8_t request[8];
            if (readExactly(fd, request, sizeof request)) ++served;
            std::this_thread::sleep_for(std::chrono::duration<double>(delay));
            if (status) {
                const auto reply = RefreshWire::encodeReply(*status);
                ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            }
            ::close(fd);
            ::close(listening);
        });
    }

    std::vector<std::optional<std::uint32_t>> requestOnce(SystemPowerRefresher& refresher, double virtualSeconds) {
        std::vector<std::optional<std::uint32_t>> outcomes;
        refresher.request([&](std::optional<std::uint32_t> status) { outcomes.push_back(status); });
        queue.runUntil(clock.now() + platform::Seconds(virtualSeconds));
        return outcomes;
    }

    std::unique_ptr<SystemPowerRefresher> makeRefresher() {
        platform::RefreshInstallation files{"/helper", "/job", [](const std::string&) { return true; }, true};
        return std::make_unique<SystemPowerRefresher>(connector, defaults, queue, clock, files);
    }

    std::filesystem::path directory;
    std::string socketPath;
    platform::sim::SimClock clock;
    platform::sim::SimMainQueue queue;
    MemoryDefaults defaults;
    linux_::LinuxRefreshConnector connector{""};
    linux_::BoundSocketPath bound;
    int listening = -1;
    std::atomic<int> served{0};
    std::thread server;
};

TEST_F(SocketClientTest, PromptReplyArrivesAndLateOrMissingRepliesEndWithoutStatus) {
    connector = linux_::LinuxRefreshConnector(socketPath);
    auto refresher = makeRefresher();
    standIn(7u, 0);
    EXPECT_EQ(requestOnce(*refresher, 2.5), (std::vector<std::optional<std::uint32_t>>{7u}));
    server.join();

    standIn(0u, 0.5);  // ten virtual seconds late
    const auto late = requestOnce(*refresher, 20);
    EXPECT_EQ(late, (std::vector<std::optional<std::uint32_t>>{std::nullopt})) << "the late reply was reported";
    EXPECT_TRUE(refresher->lastRequestFailed());
    server.join();

    standIn(std::nullopt, 0);  // the daemon refuses: closes without a byte
    EXPECT_EQ(requestOnce(*refresher, 2.5), (std::vector<std::optional<std::uint32_t>>{std::nullopt}));
    server.join();

    bound = {};  // no daemon at all
    EXPECT_EQ(requestOnce(*refresher, 2.5), (std::vector<std::optional<std::uint32_t>>{std::nullopt}));
    EXPECT_EQ(served.load(), 3) << "a request did not reach its stand-in";
}

}  // namespace
}  // namespace ampwell
