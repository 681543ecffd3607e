// The whole program, headless on a simulated desk with a frozen clock, run as a child process:
// - idle cost: CPU seconds per simulated hour with an iPad attached and nothing happening, taken
//   as the difference between a two-hour and a one-hour run so that start-up is not counted
//   (target: under 0.05 s);
// - memory: peak resident size after 24 simulated hours of seeded random plugging against the
//   same after the first hour (target: no growth beyond 1 MB).
#include "tests/unit/support/SimulatedIPad.hpp"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <spawn.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace test = ampwell::test;

constexpr std::int64_t kPort1 = 4294968001;

// A desk with an iPad on USB-C port 1 reading 8.64 W, ending after `hours`.
nlohmann::json desk(double hours, nlohmann::json timeline) {
    return {
        {"format", "ampwell-simulation/1"},
        {"clock", {{"start", 1800000000}, {"speed", 0}, {"until", hours * 3600}}},
        {"bootTime", 1799990000},
        {"registry",
         {{{"id", 4294967800},
           {"class", "AppleSmartBattery"},
           {"properties",
            {{"PowerOutDetails",
              {{{"PortIndex", 1},
                {"AdapterVoltage", 5080},
                {"Current", 1700},
                {"Watts", 8640},
                {"ConfiguredVoltage", 5000},
                {"ConfiguredCurrent", 3000}}}},
             {"UpdateTime", 1799999990}}}},
          {{"id", kPort1},
           {"class", "IOPortFeatureUSB"},
           {"planes", {{"IOPort", nullptr}}},
           {"properties", {{"ParentPortTypeDescription", "USB-C"}, {"ParentPortNumber", 1}}}},
          test::iPadUsbDevice(test::kIPadEntryID, test::kIPadSession, kPort1)}},
        {"mobileDevices", nlohmann::json::array({test::iPadMobileDevice()})},
        {"timeline", std::move(timeline)},
    };
}

// Unplugs and replugs the iPad at random moments (seeded, so every run is the same).
nlohmann::json randomPlugging(double hours) {
    std::mt19937 random(20261208);
    std::uniform_real_distribution<double> gap(30.0, 900.0);
    nlohmann::json timeline = nlohmann::json::array();
    std::int64_t current = test::kIPadEntryID;
    double at = 0;
    for (std::int64_t round = 1;; ++round) {
        at += gap(random);
        if (at + 10 >= hours * 3600) break;
        timeline.push_back({{"at", at}, {"remove", current}});
        timeline.push_back({{"at", at}, {"mobile", {{"identifier", test::kIPadSerial}, {"remove", true}}}});
        current = test::kIPadEntryID + round;
        at += gap(random) / 10;
        timeline.push_back({{"at", at}, {"add", test::iPadUsbDevice(current, test::kIPadSession + round, kPort1)}});
        timeline.push_back({{"at", at}, {"mobile", test::iPadMobileDevice()}});
    }
    return timeline;
}

struct RunCost {
    double cpuSeconds = 0;
    double peakMegabytes = 0;
};

// Runs the program on `simulation` with the headless desktop and returns what it used.
RunCost run(const nlohmann::json& simulation) {
    char pattern[] = "/tmp/ampwell-bench-XXXXXX";
    const std::string directory = ::mkdtemp(pattern);
    const std::string file = directory + "/desk.json";
    std::ofstream(file) << simulation.dump();

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    ::setenv("AMPWELL_SIMULATION", file.c_str(), 1);
    ::setenv("AMPWELL_UI", "headless", 1);
    ::setenv("XDG_RUNTIME_DIR", directory.c_str(), 1);
    char program[] = AMPWELL_BINARY;
    char* arguments[] = {program, nullptr};
    pid_t child = 0;
    if (posix_spawn(&child, program, &actions, nullptr, arguments, environ) != 0)
        throw std::runtime_error("cannot start the program");
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    std::remove(file.c_str());
    ::rmdir(directory.c_str());
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("the program failed");
    return {static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6,
            static_cast<double>(usage.ru_maxrss) / 1024.0};
}

void BM_IdleHourWithAnIPad(benchmark::State& state) {
    for (auto _ : state) {
        const RunCost oneHour = run(desk(1, nlohmann::json::array()));
        const RunCost twoHours = run(desk(2, nlohmann::json::array()));
        state.counters["cpu_s_first_hour"] = oneHour.cpuSeconds;
        state.counters["cpu_s_per_idle_hour"] = twoHours.cpuSeconds - oneHour.cpuSeconds;
    }
}
BENCHMARK(BM_IdleHourWithAnIPad)->Iterations(1)->Unit(benchmark::kSecond);

void BM_PeakMemoryRandomPlugging(benchmark::State& state) {
    for (auto _ : state) {
        // Both runs read the same day of plugging, so that the larger timeline of the longer run
        // does not count as growth: only what the running program keeps does.
        const nlohmann::json day = randomPlugging(24);
        const RunCost firstHour = run(desk(1, day));
        const RunCost fullDay = run(desk(24, day));
        state.counters["peak_MB_1h"] = firstHour.peakMegabytes;
        state.counters["peak_MB_24h"] = fullDay.peakMegabytes;
        state.counters["growth_MB"] = fullDay.peakMegabytes - firstHour.peakMegabytes;
    }
}
BENCHMARK(BM_PeakMemoryRandomPlugging)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
