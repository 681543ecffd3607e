// One accepted refresh request over the daemon's Unix socket, as the application makes it: a new
// connection, the peer checks (user ID, then the executable's digest, known by its identity after
// the first connection), the request header, the rate limiter, the battery manager (a stand-in
// that answers at once) and the 4-byte reply. Median and 99th percentile are reported as
// counters. The same round trip is measured with one misbehaving peer of each kind attached, a
// separate process running this program: one that pipelines requests and never reads, one that
// holds as many connections as it may, and one that reconnects as fast as it can. A second
// benchmark shows what the digest costs when it has to be computed.
#include "contract/RefreshWire.hpp"
#include "daemon/RefreshHelper.hpp"
#include "platform/linux/refresh/DaemonSockets.hpp"
#include "platform/linux/refresh/ExecutableDigest.hpp"
#include "platform/linux/refresh/LinuxRefreshListener.hpp"
#include "tests/unit/daemon/FakeBatteryManager.hpp"

#include <benchmark/benchmark.h>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <vector>

namespace {

using namespace ampwell;

// Every request comes 2 seconds of uptime after the one before, so each one is accepted.
class SteppingClock final : public platform::Clock {
public:
    platform::Date now() const override { return platform::SystemClock().now(); }
    platform::Seconds uptime() const override { return platform::Seconds(2.0 * static_cast<double>(++calls_)); }

private:
    mutable std::atomic<long> calls_{0};
};

// The idle-exit timer is not part of a round trip.
class DiscardingQueue final : public platform::MainQueue {
public:
    void post(std::function<void()>) override {}
    void postAfter(platform::Seconds, std::shared_ptr<platform::WorkItem>) override {}
    std::unique_ptr<platform::Timer> scheduleTimer(platform::Seconds, bool, std::function<void()>) override {
        return nullptr;
    }
    void runUntil(platform::Date) override {}
    bool runUntil(platform::Date, const std::function<bool()>&) override { return false; }
};

std::uint32_t roundTrip(const sockaddr_un& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) std::abort();
    const auto request = RefreshWire::encodeRequest();
    if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) std::abort();
    RefreshWire::ReplyFrame reply{};
    std::size_t got = 0;
    while (got < reply.size()) {
        const ssize_t count = ::recv(fd, reply.data() + got, reply.size() - got, 0);
        if (count <= 0) std::abort();
        got += static_cast<std::size_t>(count);
    }
    ::close(fd);
    return RefreshWire::decodeReply(reply);
}

int connectTo(const sockaddr_un& address) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 && errno != EAGAIN) {
        ::close(fd);
        return -1;
    }
    return fd;
}

enum class Misbehaviour { none, neverReads, holdsConnections, reconnects };

// The misbehaving peer, in a child process that ends after 60 seconds at the latest. Only system
// calls after the fork: the parent has threads.
[[noreturn]] void misbehave(Misbehaviour kind, const sockaddr_un& address) {
    const auto request = RefreshWire::encodeRequest();
    const time_t end = ::time(nullptr) + 60;
    int held[64];
    int count = 0;
    while (::time(nullptr) < end) {
        switch (kind) {
        case Misbehaviour::none: ::_exit(0);
        case Misbehaviour::neverReads: {
            const int fd = connectTo(address);
            for (int i = 0; fd >= 0 && i < 100'000 && ::time(nullptr) < end; ++i)
                if (::send(fd, request.data(), request.size(), MSG_NOSIGNAL) < 0 && errno != EAGAIN)
                    break;
                else
                    ::usleep(100);
            if (fd >= 0) ::close(fd);
            break;
        }
        case Misbehaviour::holdsConnections:
            // Keeps 64 connections open and trickles a request over one of them every 50 ms.
            for (int i = 0; i < 64; ++i) {
                if (count < 64) held[count++] = connectTo(address);
                [[maybe_unused]] const ssize_t sent =
                    ::send(held[i % count], request.data(), request.size(), MSG_NOSIGNAL);
                ::usleep(50'000);
                std::uint8_t drain[64];
                [[maybe_unused]] const ssize_t got = ::recv(held[i % count], drain, sizeof drain, MSG_DONTWAIT);
            }
            for (int i = 0; i < count; ++i) ::close(held[i]);
            count = 0;
            break;
        case Misbehaviour::reconnects:
            for (int i = 0; i < 1000; ++i) {
                const int fd = connectTo(address);
                if (fd >= 0) ::close(fd);
            }
            break;
        }
    }
    ::_exit(0);
}

void BM_AcceptedRequestRoundTrip(benchmark::State& state) {
    const auto kind = static_cast<Misbehaviour>(state.range(0));
    const auto directory = std::filesystem::temp_directory_path() / ("ampwelld-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const std::string path = (directory / "refresh.sock").string();

    test::FakeBatteryManager battery;
    SteppingClock clock;
    DiscardingQueue queue;
    RefreshHelper helper(battery, queue, clock, static_cast<std::uint32_t>(::geteuid()), [](int) {});
    platform::linux_::BoundSocketPath bound;
    std::string problem;
    const int listening = platform::linux_::bindListeningSocket(path, bound, problem);
    if (listening < 0) {
        state.SkipWithError(problem.c_str());
        return;
    }
    platform::linux_::LinuxRefreshListener listener({listening}, {.trustedOwnersOnly = false});
    listener.setConnectionCodeSigningRequirement(
        platform::CodeRequirement::forSha256(*platform::linux_::sha256OfFile("/proc/self/exe")));
    listener.setDelegate(&helper);
    listener.resume();

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (roundTrip(address) != 0) std::abort();  // the first connection computes the digest
    const pid_t misbehaving = kind == Misbehaviour::none ? -1 : ::fork();
    if (misbehaving == 0) misbehave(kind, address);
    if (misbehaving > 0) ::usleep(200'000);  // lets it take hold

    std::vector<double> microseconds;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::uint32_t status = roundTrip(address);
        const auto end = std::chrono::steady_clock::now();
        if (status != 0) std::abort();
        microseconds.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    if (misbehaving > 0) {
        ::kill(misbehaving, SIGKILL);
        ::waitpid(misbehaving, nullptr, 0);
    }
    std::sort(microseconds.begin(), microseconds.end());
    state.counters["median_us"] = microseconds[microseconds.size() / 2];
    state.counters["p99_us"] = microseconds[std::min(microseconds.size() - 1, microseconds.size() * 99 / 100)];
    state.counters["digests_computed"] = static_cast<double>(listener.verifier().digestsComputed());
    std::filesystem::remove_all(directory);
}
// Argument: 0 alone, 1 with a peer that never reads, 2 with one that holds connections, 3 with one
// that reconnects as fast as it can.
BENCHMARK(BM_AcceptedRequestRoundTrip)
    ->DenseRange(0, 3)
    ->Iterations(2000)
    ->UseRealTime()
    ->Unit(benchmark::kMicrosecond);

// How often a process that connects, sends a request and then executes the allowed client in its
// own place is served, out of 50 tries. The client here is a copy of sleep(1).
void BM_ExecAfterConnect(benchmark::State& state) {
    const auto directory = std::filesystem::temp_directory_path() / ("ampwelld-exec-" + std::to_string(::getpid()));
    std::filesystem::create_directories(directory);
    const std::string path = (directory / "refresh.sock").string();
    const std::string client = (directory / "client").string();
    std::filesystem::copy_file("/bin/sleep", client);
    std::filesystem::permissions(client, std::filesystem::perms::owner_all);

    test::FakeBatteryManager battery;
    SteppingClock clock;
    DiscardingQueue queue;
    RefreshHelper helper(battery, queue, clock, static_cast<std::uint32_t>(::geteuid()), [](int) {});
    platform::linux_::BoundSocketPath bound;
    std::string problem;
    const int listening = platform::linux_::bindListeningSocket(path, bound, problem);
    if (listening < 0) {
        state.SkipWithError(problem.c_str());
        return;
    }
    platform::linux_::LinuxRefreshListener listener({listening}, {.trustedOwnersOnly = false});
    listener.setConnectionCodeSigningRequirement(
        platform::CodeRequirement::forSha256(*platform::linux_::sha256OfFile(client)));
    listener.setDelegate(&helper);
    listener.resume();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());

    int served = 0;
    for (auto _ : state) {
        for (int attempt = 0; attempt < 50; ++attempt) {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            const auto request = RefreshWire::encodeRequest();
            const pid_t child = ::fork();
            if (child == 0) {
                // Only system calls: the parent has threads. The socket stays open across exec.
                if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) ::_exit(1);
                [[maybe_unused]] const ssize_t sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
                char* const argv[] = {const_cast<char*>(client.c_str()), const_cast<char*>("2"), nullptr};
                ::execv(client.c_str(), argv);
                ::_exit(1);
            }
            pollfd polled{fd, POLLIN, 0};
            RefreshWire::ReplyFrame reply{};
            if (::poll(&polled, 1, 1000) == 1 && ::recv(fd, reply.data(), reply.size(), MSG_WAITALL) == 4) ++served;
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            ::close(fd);
        }
    }
    state.counters["served_of_50"] = served;
    std::filesystem::remove_all(directory);
}
BENCHMARK(BM_ExecAfterConnect)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// What a connection would cost if the digest were computed every time: SHA-256 of this program.
void BM_ExecutableDigest(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(platform::linux_::sha256OfFile("/proc/self/exe"));
    state.counters["executable_MiB"] =
        static_cast<double>(std::filesystem::file_size("/proc/self/exe")) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ExecutableDigest)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
