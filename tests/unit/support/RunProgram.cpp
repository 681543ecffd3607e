#include "tests/unit/support/RunProgram.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>

extern char** environ;

namespace ampwell::test {
namespace {

constexpr std::chrono::seconds kLongestRun{30};

std::string readWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

std::string sourceFile(const std::string& relativePath) {
    return readWhole(std::string(AMPWELL_SOURCE_DIR) + "/" + relativePath);
}

ProgramRun runProgram(const std::vector<std::string>& arguments, const std::string& simulationFile,
                      const std::vector<std::string>& extraEnvironment) {
    static std::atomic<int> runs{0};
    const std::string stem = ::testing::TempDir() + "ampwell-run-" + std::to_string(::getpid()) + "-" +
                             std::to_string(runs.fetch_add(1));
    const std::string outPath = stem + ".out";
    const std::string errPath = stem + ".err";

    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text(*entry);
        const bool chosenHere =
            text.rfind("AMPWELL_SIMULATION=", 0) == 0 || text.rfind("LANG", 0) == 0 || text.rfind("LC_", 0) == 0;
        if (!chosenHere) environment.push_back(text);
    }
    const bool absolute = simulationFile.starts_with('/');
    environment.push_back("AMPWELL_SIMULATION=" + (absolute ? "" : std::string(AMPWELL_SOURCE_DIR) + "/") +
                          simulationFile);
    environment.push_back("LC_ALL=C");
    for (const auto& entry : extraEnvironment) {
        const std::string name = entry.substr(0, entry.find('=') + 1);
        std::erase_if(environment, [&](const std::string& existing) { return existing.rfind(name, 0) == 0; });
        environment.push_back(entry);
    }
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);

    std::vector<std::string> argumentTexts{AMPWELL_BINARY};
    argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (auto& argument : argumentTexts) argv.push_back(argument.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);

    ProgramRun run;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << argv[0];
        return run;
    }
    // A program that hangs fails the test instead of hanging it.
    int wstatus = 0;
    const auto giveUp = std::chrono::steady_clock::now() + kLongestRun;
    for (;;) {
        const pid_t ended = ::waitpid(pid, &wstatus, WNOHANG);
        if (ended == pid || (ended < 0 && errno != EINTR)) break;
        if (std::chrono::steady_clock::now() > giveUp) {
            ADD_FAILURE() << argv[0] << " did not end within " << kLongestRun.count() << " s";
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &wstatus, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    run.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    run.out = readWhole(outPath);
    run.err = readWhole(errPath);
    ::unlink(outPath.c_str());
    ::unlink(errPath.c_str());
    return run;
}

}  // namespace ampwell::test
