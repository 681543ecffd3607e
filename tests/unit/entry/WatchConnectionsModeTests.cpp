// The connection watch, run as the real program on simulated Macs (golden output), and in process
// for the case the simulation file cannot express: a registry that refuses to notify.
#include "app/entry/Modes.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimulationLoader.hpp"
#include "tests/unit/support/RunProgram.hpp"
#include "tests/unit/support/ScenarioName.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace ampwell {
namespace {

struct WatchScenario {
    const char* simulation;
    const char* expected;
};

class WatchConnectionsGolden : public ::testing::TestWithParam<WatchScenario> {};

TEST_P(WatchConnectionsGolden, PrintsTheStartLineAndOneLinePerChange) {
    const auto run = test::runProgram({"--watch-connections"}, GetParam().simulation);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, test::sourceFile(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, WatchConnectionsGolden,
    ::testing::Values(WatchScenario{"tests/scenarios/watch/plug-and-unplug.json",
                                    "tests/scenarios/watch/plug-and-unplug.expected.txt"},
                      WatchScenario{"tests/scenarios/watch/nothing-attached.json",
                                    "tests/scenarios/watch/nothing-attached.expected.txt"},
                      WatchScenario{"tests/scenarios/snapshot/desk.json", "tests/scenarios/watch/desk.expected.txt"},
                      WatchScenario{"tests/scenarios/reset_targets/control-characters.json",
                                    "tests/scenarios/watch/control-characters.expected.txt"}),
    [](const auto& info) { return test::scenarioName(info.param.simulation); });

TEST(WatchConnectionsMode, AnObserverThatCannotStartEndsWithStatusOne) {
    std::ostringstream out;
    std::ostringstream err;
    ModeContext context({"ampwell", "--watch-connections"}, out, err, [] {
        auto platform = std::make_unique<platform::sim::SimPlatform>(
            platform::sim::parseSimulation(R"({"format": "ampwell-simulation/1", "clock": {"speed": 0}})", "t.json"));
        platform->simRegistry().setNotificationPortsFail(true);
        return platform;
    });
    EXPECT_EQ(runWatchConnections(context), 1);
    EXPECT_EQ(out.str(), "");
    EXPECT_EQ(err.str(), "USB 插拔监听未能启动。\n");
}

}  // namespace
}  // namespace ampwell
