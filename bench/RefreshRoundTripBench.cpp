// One accepted refresh request over the daemon's Unix socket, as the application makes it: a new
// connection, the peer checks (user ID, then the executable's digest, known by its identity after
// the first connection), the request header, the rate limiter, the battery manager (a stand-in
// that answers at once) and the 4-byte reply. Median and 99th percentile are reported as
// counters. A second benchmark shows what the digest costs when it has to be computed.
#include "contract/RefreshWire.hpp"
#include "daemon/RefreshHelper.hpp"
#include "platform/linux/refresh/DaemonSockets.hpp"
#include "platform/linux/refresh/ExecutableDigest.hpp"
#include "platform/linux/refresh/LinuxRefreshListener.hpp"
#include "tests/unit/daemon/FakeBatteryManager.hpp"

#include <benchmark/benchmark.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
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

void BM_AcceptedRequestRoundTrip(benchmark::State& state) {
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
    platform::linux_::LinuxRefreshListener listener({listening});
    listener.setConnectionCodeSigningRequirement(
        platform::CodeRequirement::forSha256(*platform::linux_::sha256OfFile("/proc/self/exe")));
    listener.setDelegate(&helper);
    listener.resume();

    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    if (roundTrip(address) != 0) std::abort();  // the first connection computes the digest

    std::vector<double> microseconds;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const std::uint32_t status = roundTrip(address);
        const auto end = std::chrono::steady_clock::now();
        if (status != 0) std::abort();
        microseconds.push_back(std::chrono::duration<double, std::micro>(end - start).count());
    }
    std::sort(microseconds.begin(), microseconds.end());
    state.counters["median_us"] = microseconds[microseconds.size() / 2];
    state.counters["p99_us"] = microseconds[std::min(microseconds.size() - 1, microseconds.size() * 99 / 100)];
    state.counters["digests_computed"] = static_cast<double>(listener.verifier().digestsComputed());
    std::filesystem::remove_all(directory);
}
BENCHMARK(BM_AcceptedRequestRoundTrip)->Iterations(5000)->UseRealTime()->Unit(benchmark::kMicrosecond);

// What a connection would cost if the digest were computed every time: SHA-256 of this program.
void BM_ExecutableDigest(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(platform::linux_::sha256OfFile("/proc/self/exe"));
    state.counters["executable_MiB"] =
        static_cast<double>(std::filesystem::file_size("/proc/self/exe")) / (1024.0 * 1024.0);
}
BENCHMARK(BM_ExecutableDigest)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
