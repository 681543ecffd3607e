// Cost of one telemetry read through the Linux registry on a faked laptop with 32 attached USB
// devices (hub chains behind both Type-C ports), written as a sysfs tree into a temporary
// directory. Beside it, the floor: a bare loop that opens and reads the same sysfs files and links
// a read needs (bus listing, product, serial and udev session of every device, its port links up
// to the root port's connector, the Type-C ports), keeping nothing. Printed at the end: the ratio
// of each registry read to the floor.
//
// Two registry figures: "warm" is the steady state of the running program (device strings were
// read once and are kept while the device directory stays the same; each read lists the bus and
// checks every device with one stat); "cold" makes a new registry for every read, so every file
// is read again, as at start-up (after a plug event only the new device is read).
#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "platform/linux/LinuxRegistry.hpp"
#include "tests/linux/FakeLaptop.hpp"
#include "tests/unit/support/FixedClock.hpp"

#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

namespace {

using namespace ampwell;
using namespace ampwell::platform::linux_;

constexpr int kAttachedDevices = 32;

// The faked laptop plus three 8-port hubs on the dock's hub, filled with devices up to 32.
struct FakedTree {
    FakedTree() {
        std::string pattern = (std::filesystem::temp_directory_path() / "ampwell-bench-XXXXXX").string();
        root = ::mkdtemp(pattern.data());
        FakeSysfs sysfs(root);
        FakeLaptop laptop;
        laptop.build(sysfs);
        int attached = 6;  // iPad, two hubs, keyboard, flash drive, camera
        unsigned address = 20;
        for (int hubPort = 2; hubPort <= 4 && attached < kAttachedDevices; ++hubPort) {
            const unsigned hubAddress = address++;
            auto hub = FakeLaptop::device(fmt::format("1-2.{}", hubPort), laptop.hub.devpath(),
                                          laptop.hub.portPath(hubPort), "Hub", 0x05e3, 0x0610, 9, 1, hubAddress, {9},
                                          fmt::format("{}", 54000000 + hubAddress));
            hub.hubPorts = 8;
            addUsbDevice(sysfs, hub);
            ++attached;
            for (int port = 1; port <= 8 && attached < kAttachedDevices; ++port, ++attached) {
                const unsigned leafAddress = address++;
                auto leaf = FakeLaptop::device(fmt::format("{}.{}", hub.name, port), hub.devpath(), hub.portPath(port),
                                               fmt::format("Device {}", attached), 0x1234, 0x5678, 0, 1, leafAddress,
                                               {3}, fmt::format("{}", 55000000 + leafAddress));
                leaf.serial = fmt::format("SER{}", attached);
                addUsbDevice(sysfs, leaf);
            }
        }
    }
    ~FakedTree() { std::filesystem::remove_all(root); }
    std::string root;
};

FakedTree& tree() {
    static FakedTree instance;
    return instance;
}

void BM_TelemetryThroughLinuxRegistryWarm(benchmark::State& state) {
    testing::FixedClock clock;
    BootIdentity boot{[] { return std::optional<std::int64_t>(1796590000); }};
    LinuxRegistry registry(tree().root, clock, nullptr);
    Telemetry telemetry(registry, clock, boot);
    if (telemetry.read().ports.size() != 2) state.SkipWithError("the faked laptop did not read as two ports");
    for (auto _ : state) {
        Snapshot snapshot = telemetry.read();
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(BM_TelemetryThroughLinuxRegistryWarm);

void BM_TelemetryThroughLinuxRegistryCold(benchmark::State& state) {
    testing::FixedClock clock;
    BootIdentity boot{[] { return std::optional<std::int64_t>(1796590000); }};
    for (auto _ : state) {
        LinuxRegistry registry(tree().root, clock, nullptr);
        Snapshot snapshot = Telemetry(registry, clock, boot).read();
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(BM_TelemetryThroughLinuxRegistryCold);

// --- the floor: plain system calls, nothing kept -------------------------------------------------

int readFile(const std::string& path, char* buffer, std::size_t size) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -1;
    int n = static_cast<int>(::read(fd, buffer, size));
    ::close(fd);
    return n;
}

// A link's target joined to the link's directory, unnormalised (the kernel resolves the dots).
bool readLink(const std::string& path, std::string& target) {
    char buffer[512];
    ssize_t n = ::readlink(path.c_str(), buffer, sizeof buffer);
    if (n <= 0) return false;
    target = path.substr(0, path.rfind('/') + 1) + std::string(buffer, static_cast<std::size_t>(n));
    return true;
}

void BM_BareSysfsReads(benchmark::State& state) {
    const std::string root = tree().root;
    char buffer[4096];
    for (auto _ : state) {
        DIR* bus = ::opendir((root + "/bus/usb/devices").c_str());
        while (const dirent* entry = ::readdir(bus)) {
            const std::string name = entry->d_name;
            if (name[0] == '.' || name.find(':') != std::string::npos) continue;
            const std::string device = root + "/bus/usb/devices/" + name;
            benchmark::DoNotOptimize(readFile(device + "/product", buffer, sizeof buffer));
            benchmark::DoNotOptimize(readFile(device + "/serial", buffer, sizeof buffer));
            benchmark::DoNotOptimize(readFile(device + "/uevent", buffer, sizeof buffer));
            // Up the port links: each port's connector, then the port of the hub owning it.
            std::string port;
            std::string link = device + "/port";
            for (int depth = 0; depth < 12 && readLink(link, port); ++depth) {
                std::string connector;
                if (readLink(port + "/connector", connector)) break;
                link = port + "/../../port";  // port dir → hub interface → hub device
            }
        }
        ::closedir(bus);
        const std::string typec = root + "/class/typec";
        DIR* ports = ::opendir(typec.c_str());
        while (const dirent* entry = ::readdir(ports)) {
            const std::string name = entry->d_name;
            if (name.rfind("port", 0) != 0 || name.find('-') != std::string::npos) continue;
            benchmark::DoNotOptimize(readFile(typec + "/" + name + "/power_role", buffer, sizeof buffer));
            benchmark::DoNotOptimize(readFile(typec + "/" + name + "/power_operation_mode", buffer, sizeof buffer));
            benchmark::DoNotOptimize(::access((typec + "/" + name + "-partner").c_str(), F_OK));
        }
        ::closedir(ports);
    }
}
BENCHMARK(BM_BareSysfsReads);

// Prints what the console reporter prints, and keeps each benchmark's time per iteration.
class RatioReporter final : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const auto& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                nanoseconds[run.benchmark_name()] = run.real_accumulated_time * 1e9 / static_cast<double>(run.iterations);
    }
    std::map<std::string, double> nanoseconds;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const auto floor = reporter.nanoseconds.find("BM_BareSysfsReads");
    if (floor == reporter.nanoseconds.end() || floor->second <= 0) return 0;
    const std::pair<const char*, const char*> figures[] = {
        {"BM_TelemetryThroughLinuxRegistryWarm", "every read of the running program; target: within 2x"},
        {"BM_TelemetryThroughLinuxRegistryCold", "first read of a new registry, every file read; after a plug only the new device is read"},
    };
    for (const auto& [name, meaning] : figures) {
        auto found = reporter.nanoseconds.find(name);
        if (found == reporter.nanoseconds.end()) continue;
        std::printf("%s / BM_BareSysfsReads = %.2f (%.1f us vs %.1f us: %s)\n", name, found->second / floor->second,
                    found->second / 1000, floor->second / 1000, meaning);
    }
    return 0;
}
