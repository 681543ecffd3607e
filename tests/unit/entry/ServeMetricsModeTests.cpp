#include "tests/unit/metrics/FleetFixture.hpp"
#include "tests/unit/support/RunProgram.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

extern char** environ;

namespace ampwell {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

// The program serving metrics as a child process, stopped (SIGTERM, as systemd does) and reaped
// when the test ends.
class ServedProgram {
public:
    ServedProgram(const std::string& simulationFile, const std::string& address) {
        int pipeEnds[2];
        if (pipe(pipeEnds) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
        std::vector<std::string> environment;
        for (char** entry = environ; *entry != nullptr; ++entry)
            if (std::string(*entry).rfind("AMPWELL_", 0) != 0) environment.emplace_back(*entry);
        environment.push_back("AMPWELL_SIMULATION=" + simulationFile);
        std::vector<char*> envp;
        for (auto& entry : environment) envp.push_back(entry.data());
        envp.push_back(nullptr);
        std::string program = AMPWELL_BINARY;
        std::string option = "--serve-metrics";
        std::string value = address;
        char* argv[] = {program.data(), option.data(), value.data(), nullptr};
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, envp.data()) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(pipeEnds[1]);
        output_ = pipeEnds[0];
    }
    ~ServedProgram() {
        stop();
        if (output_ >= 0) close(output_);
    }
    // Stops it as systemd does; whether it then ended of its own accord with status 0.
    bool stop() {
        if (pid_ <= 0) return false;
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(std::exchange(pid_, -1), &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    }
    ServedProgram(const ServedProgram&) = delete;
    ServedProgram& operator=(const ServedProgram&) = delete;

    // The first line the program prints, waiting at most 10 s for it.
    std::string firstLine() {
        std::string line;
        for (int attempt = 0; attempt < 1000 && line.find('\n') == std::string::npos; ++attempt) {
            pollfd ready{output_, POLLIN, 0};
            if (poll(&ready, 1, 10000) <= 0) break;
            char c = 0;
            if (read(output_, &c, 1) != 1) break;
            line += c;
        }
        return line;
    }

private:
    pid_t pid_ = -1;
    int output_ = -1;
};

std::string httpGet(std::uint16_t port, const std::string& path) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    timeval timeout{5, 0};
    setsockopt(socket, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    const std::string request = "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    if (connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(socket, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
        char buffer[4096];
        for (int reads = 0; reads < 10000; ++reads) {
            const ssize_t got = recv(socket, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(socket);
    return answer;
}

std::string writeSimulation(const nlohmann::json& simulation, const std::string& name) {
    const std::string path = ::testing::TempDir() + name;
    std::ofstream(path) << simulation.dump();
    return path;
}

TEST(ServeMetricsMode, ServesTheSimulatedDevicesOverHttpOnTheLoopback) {
    const auto simulation = test::fleetSimulation({{1, 5000, 3000, {{"iPad", "00008101-0000000000000A01", 60, true}}},
                                                   {2, 5000, 500, {{"iPad", "00008101-0000000000000B02", 45, true}}}},
                                                  nlohmann::json::array(), 1);
    ServedProgram program(writeSimulation(simulation, "serve-metrics.json"), "127.0.0.1:0");
    const std::string line = program.firstLine();
    ASSERT_THAT(line, StartsWith("ampwell: serving metrics at http://127.0.0.1:"));
    const auto port = static_cast<std::uint16_t>(std::stoi(line.substr(line.rfind(':') + 1)));

    const std::string answer = httpGet(port, "/metrics");
    EXPECT_THAT(answer, StartsWith("HTTP/1.1 200"));
    EXPECT_THAT(answer, HasSubstr("ampwell_port_output_watts{port=\"2\",source=\"computer\"} 2.5\n"));
    EXPECT_THAT(answer, HasSubstr("ampwell_device_battery_ratio{serial=\"00008101-0000000000000B02\",name=\"iPad\","
                                  "port=\"2\"} 0.45\n"));
    EXPECT_THAT(answer, HasSubstr("port=\"2\",ampwell_device_supply=\"low\"} 1\n"));
    EXPECT_THAT(httpGet(port, "/nothing"), StartsWith("HTTP/1.1 404"));
    // Not killed by the signal: it ends as a quit does, writing the history rows it still held.
    EXPECT_TRUE(program.stop());
}

TEST(ServeMetricsMode, RefusesAnAddressItCannotReadOrAFrozenClockAndSaysWhy) {
    const auto simulation = test::fleetSimulation({}, nlohmann::json::array(), 1);
    const test::ProgramRun run =
        test::runProgram({"--serve-metrics", "127.0.0.1:http"}, writeSimulation(simulation, "serve-metrics-bad.json"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "ampwell: --serve-metrics: expected [HOST:]PORT, found \"127.0.0.1:http\"\n");

    // Frozen, the server would spin through virtual time instead of waiting for scrapers.
    const test::ProgramRun frozen = test::runProgram(
        {"--serve-metrics", "127.0.0.1:0"},
        writeSimulation(test::fleetSimulation({}, nlohmann::json::array(), 0), "serve-metrics-frozen.json"));
    EXPECT_EQ(frozen.status, 1);
    EXPECT_EQ(frozen.out, "");
    EXPECT_THAT(frozen.err, HasSubstr("the simulated clock stands still"));
}

}  // namespace
}  // namespace ampwell
