// The cost of one `ampwell --snapshot` on the simulated desk Mac (tests/scenarios/snapshot/desk.json, the desk at rest): the whole
// process as a user starts it (target: under 20 ms and 10 MB peak), and the mode's own work in
// process, so that the start-up share of the process figure can be seen in the same run.
#include "app/batteries/DeviceBatteryReader.hpp"
#include "app/entry/Modes.hpp"
#include "platform/sim/SimPlatform.hpp"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

const std::string kDesk = std::string(AMPWELL_SOURCE_DIR) + "/tests/scenarios/snapshot/desk.json";

// Starts the program once with its output thrown away; false when it could not run or failed.
bool runSnapshotProcess() {
    std::vector<std::string> environment{"AMPWELL_SIMULATION=" + kDesk};
    for (char** entry = environ; *entry != nullptr; ++entry)
        if (std::string(*entry).rfind("AMPWELL_SIMULATION=", 0) != 0) environment.emplace_back(*entry);
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::string program = AMPWELL_BINARY;
    std::string option = "--snapshot";
    char* argv[] = {program.data(), option.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return false;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void BM_SnapshotProcess(benchmark::State& state) {
    for (auto _ : state) {
        if (!runSnapshotProcess()) {
            state.SkipWithError("ampwell --snapshot failed");
            return;
        }
    }
    // The largest resident set any finished child reached.
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    state.counters["peak_rss_MiB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_SnapshotProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SnapshotModeInProcess(benchmark::State& state) {
    for (auto _ : state) {
        std::ostringstream out;
        std::ostringstream err;
        int status = 0;
        {
            ampwell::ModeContext context({"ampwell", "--snapshot"}, out, err,
                                         [] { return ampwell::platform::sim::makeSimulatedPlatform(kDesk); });
            status = ampwell::runSnapshot(context);
        }
        if (status != 0) {
            state.SkipWithError("the snapshot mode failed");
            return;
        }
        benchmark::DoNotOptimize(out.str().size());
    }
}
BENCHMARK(BM_SnapshotModeInProcess)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
