// The connection watch, run as the real program on simulated Macs (golden output), and in process
// for the case the simulation file cannot express: a registry that refuses to notify.
#include "app/entry/Modes.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimulationLoader.hpp"
#include "tests/unit/support/GoldenScenario.hpp"
#include "tests/unit/support/RunProgram.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace ampwell {
namespace {

class WatchConnectionsGolden : public ::testing::TestWithParam<test::GoldenScenario> {};

TEST_P(WatchConnectionsGolden, PrintsTheStartLineAndOneLinePerChange) {
    const auto run = test::runProgram({"--watch-connections"}, GetParam().simulation);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.out, test::sourceFile(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Scenarios, WatchConnectionsGolden,
                         ::testing::Values(test::GoldenScenario{"tests/scenarios/watch/plug-and-unplug.json",
                                                                "tests/scenarios/watch/plug-and-unplug.expected.txt"},
                                           test::GoldenScenario{"tests/scenarios/watch/nothing-attached.json",
                                                                "tests/scenarios/watch/nothing-attached.expected.txt"},
                                           test::GoldenScenario{"tests/scenarios/snapshot/desk.json",
                                                                "tests/scenarios/watch/desk.expected.txt"},
                                           test::GoldenScenario{
                                               "tests/scenarios/reset_targets/control-characters.json",
                                               "tests/scenarios/watch/control-characters.expected.txt"}),
                         test::goldenScenarioName);

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
