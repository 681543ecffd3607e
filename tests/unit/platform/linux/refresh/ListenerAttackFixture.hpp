#pragma once

// The real listener on a temporary socket, and the means to attack it as another program of the
// allowed user would.
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

namespace ampwell::test {

namespace linux_ = platform::linux_;

inline constexpr double kStart = 1'800'000'000;

inline int connectTo(const std::string& path) {
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
inline std::size_t readUpTo(int fd, std::uint8_t* data, std::size_t size) {
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
inline bool servedOnce(const std::string& path) {
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
inline bool eventually(Condition condition) {
    for (int i = 0; i < 1000; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
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

}  // namespace ampwell::test
