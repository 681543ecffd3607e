// The history modes on a simulated desk whose day is played on the frozen clock.
#include "app/entry/AmpwellApplication.hpp"
#include "app/history/HistoryLease.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimulationLoader.hpp"
#include "tests/unit/history/HistoryTestFiles.hpp"
#include "tests/unit/support/AppHarness.hpp"
#include "tests/unit/support/SimulatedIPad.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace ampwell {
namespace {

// The iPad's port gets a stronger supply five minutes in; the iPad is unplugged at a quarter hour.
constexpr const char* kTimeline = R"([
  {"at": 300, "set": {"id": 4294967800, "properties": {"UpdateTime": 1800000300,
    "PowerOutDetails": [{"PortIndex": 1, "AdapterVoltage": 9000, "Current": 1333, "Watts": 12000,
                         "ConfiguredVoltage": 9000, "ConfiguredCurrent": 2000}]}}},
  {"at": 300, "message": {"id": 4294967800, "type": "0xE0024100"}},
  {"at": 900, "remove": 4294968100}
])";

struct ModeRun {
    int status = -1;
    std::string out;
    std::string err;
};

ModeRun runMode(const std::vector<std::string>& arguments, const test::HistoryDirectory& directory,
                bool clockRuns = false) {
    test::DeskOptions options;
    options.timeline = kTimeline;
    auto simulation = nlohmann::json::parse(test::deskSimulation(options));
    simulation["lockDirectory"] = directory.path("mac");
    if (clockRuns) simulation["clock"]["speed"] = 1;
    std::ostringstream out;
    std::ostringstream err;
    ModeContext context(arguments, out, err, [&] {
        return std::make_unique<platform::sim::SimPlatform>(
            platform::sim::parseSimulation(simulation.dump(), "desk.json"));
    });
    const int status = AmpwellApplication::main(context);
    return {status, out.str(), err.str()};
}

double secondsIn(const nlohmann::json& row) {
    // "2027-01-15T08:0M:SS.mmmZ": the desk starts at 08:00:00.000 UTC.
    const std::string time = row.at("time");
    return std::stoi(time.substr(14, 2)) * 60 + std::stod(time.substr(17, 6));
}

TEST(HistoryModes, APlayedDayWritesARowForEachChangeAndDepartureOnly) {
    test::HistoryDirectory directory;
    const ModeRun run = runMode({"ampwell", "--history", "--format", "json"}, directory);
    ASSERT_EQ(run.status, 0) << run.err;
    const auto document = nlohmann::json::parse(run.out);
    std::vector<nlohmann::json> ports;
    std::vector<nlohmann::json> devices;
    for (const auto& row : document.at("rows")) (row.at("kind") == "port" ? ports : devices).push_back(row);

    // Plugged in, stronger supply, a heartbeat in between, unplugged.
    ASSERT_GE(ports.size(), 3u) << run.out;
    EXPECT_DOUBLE_EQ(ports.front().at("watts"), 8.64);
    const auto stronger =
        std::find_if(ports.begin(), ports.end(), [](const auto& row) { return row.value("watts", 0.0) == 12.0; });
    ASSERT_NE(stronger, ports.end());
    EXPECT_GE(secondsIn(*stronger), 300.0);
    EXPECT_LT(secondsIn(*stronger), 301.0);
    EXPECT_EQ(ports.back().at("present"), false);
    EXPECT_GE(secondsIn(ports.back()), 900.0);
    EXPECT_LT(secondsIn(ports.back()), 901.0);

    // Without a battery reading the verdict stays the same: its rows are the plug-in, one
    // heartbeat and the departure.
    ASSERT_EQ(devices.size(), 3u) << run.out;
    EXPECT_DOUBLE_EQ(secondsIn(devices[0]), 0.0);
    EXPECT_DOUBLE_EQ(secondsIn(devices[1]), 600.0);
    EXPECT_GE(secondsIn(devices[2]), 900.0);
    EXPECT_EQ(devices.back().at("present"), false);
    EXPECT_EQ(std::count_if(devices.begin(), devices.end(), [](const auto& row) { return row.at("present") == false; }),
              1);
    // Between changes only heartbeats: no two rows of the same kind closer than ten minutes unless
    // something in them differs.
    for (const auto* rows : {&ports, &devices}) {
        for (std::size_t i = 1; i < rows->size(); ++i) {
            auto before = (*rows)[i - 1];
            auto after = (*rows)[i];
            const double gap = secondsIn(after) - secondsIn(before);
            before.erase("time");
            after.erase("time");
            if (before == after) {
                EXPECT_GE(gap, 600.0) << after.dump();
            }
        }
    }
}

// The tray of the same simulated desk writes its own history; the played day is the mode's own
// file and is printed all the same.
TEST(HistoryModes, APlayedDayIsWrittenWhileAnotherProgramHoldsTheWriterLease) {
    test::HistoryDirectory directory;
    HistoryLease tray(directory.path("mac/history.sqlite3"));
    ASSERT_TRUE(tray.held());
    const ModeRun run = runMode({"ampwell", "--history", "--format", "json"}, directory);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_FALSE(nlohmann::json::parse(run.out).at("rows").empty()) << run.out;
}

// An empty table would pass for a history with nothing in it.
TEST(HistoryModes, AHistoryThatCannotBeReadFailsAndSaysWhy) {
    test::HistoryDirectory directory;
    std::filesystem::create_directories(directory.path("mac"));
    std::ofstream(directory.path("mac/history.sqlite3")) << std::string(8192, 'x');
    for (const char* mode : {"--history", "--preview-history"}) {
        std::vector<std::string> arguments{"ampwell", mode};
        if (std::string(mode) == "--preview-history") arguments.push_back(directory.path("chart.png"));
        const ModeRun run = runMode(arguments, directory, true);
        EXPECT_EQ(run.status, 1) << mode;
        EXPECT_NE(run.err.find("cannot be read"), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(directory.path("chart.png")));
}

TEST(HistoryModes, RefusesASinceOrFormatItCannotRead) {
    test::HistoryDirectory directory;
    for (const auto& [option, value] : std::vector<std::pair<std::string, std::string>>{
             {"--since", "24"}, {"--since", "0h"}, {"--since", "1.5h"}, {"--format", "xml"}}) {
        const ModeRun run = runMode({"ampwell", "--history", option, value}, directory);
        EXPECT_EQ(run.status, 1) << option << ' ' << value;
        EXPECT_NE(run.err.find(option), std::string::npos);
        EXPECT_EQ(run.out, "");
    }
}

}  // namespace
}  // namespace ampwell
