#include "platform/sim/SimRefreshConnector.hpp"

#include "app/refresh/SystemPowerRefresher.hpp"
#include "contract/PowerRefreshService.hpp"
#include "platform/Platform.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimulationLoader.hpp"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace ampwell::platform::sim {
namespace {

using PowerRefreshService::kIOReturnBusy;
using PowerRefreshService::kIOReturnNotFound;
using Outcome = std::optional<std::uint32_t>;

class RecordingStream final : public EventStream {
public:
    void emit(const std::string& event, const nlohmann::json& fields) override {
        lines.push_back(event + " " + fields.dump());
    }
    std::vector<std::string> lines;
};

std::string simulation(const std::string& refreshService) {
    return R"({"format": "ampwell-simulation/1", "clock": {"start": 1800000000, "speed": 0}, "bootTime": 1799990000,
      "registry": [{"id": 7, "class": "AppleSmartBattery", "properties": {"UpdateTime": 1}}],
      "refreshService": )" + refreshService + "}";
}

std::string loadError(const std::string& refreshService) {
    try {
        parseSimulation(simulation(refreshService), "sim.json");
    } catch (const PlatformError& error) {
        return error.what();
    }
    return "no error";
}

TEST(SimRefreshConnectorFile, MistakesNameTheirPlace) {
    EXPECT_EQ(loadError(R"({"instaled": true})"), "sim.json: $.refreshService.instaled: unknown key");
    EXPECT_THAT(loadError(R"({"requests": [{}, {"reply": "late"}]})"),
                ::testing::StartsWith("sim.json: $.refreshService.requests[1].reply: expected seconds"));
    EXPECT_THAT(loadError(R"({"connection": "lost"})"),
                ::testing::StartsWith("sim.json: $.refreshService.connection: expected \"normal\""));
    EXPECT_EQ(loadError(R"({"actions": [{"after": 1, "set": {"id": 8, "properties": {}}}]})"),
              "sim.json: $.refreshService.actions[0].set.id: no entry 8 is in the registry or added by the timeline");
    EXPECT_THAT(loadError(R"({"actions": [{"at": 1, "message": {"id": 7, "type": 1}}]})"),
                ::testing::HasSubstr("$.refreshService.actions[0]"));

    // A request's script starts from the service's own keys.
    const auto model = parseSimulation(
        simulation(R"({"command": 5, "reply": "never", "requests": [{"open": 9}, {"reply": 4.5}]})"), "sim.json");
    ASSERT_EQ(model.refreshService->requests.size(), 2u);
    EXPECT_EQ(model.refreshService->requests[0].command, 5u);
    EXPECT_EQ(model.refreshService->requests[0].open, 9u);
    EXPECT_FALSE(model.refreshService->requests[0].replyDelay);
    EXPECT_EQ(model.refreshService->requests[1].replyDelay, 4.5);
}

class SimRefreshConnectorTest : public ::testing::Test {
protected:
    void load(const std::string& refreshService) {
        platform = std::make_unique<SimPlatform>(parseSimulation(simulation(refreshService), "sim.json"));
        platform->setEventStream(&stream);
        refresher = makeSystemPowerRefresher(*platform);
    }
    Outcome requestAt(double elapsed) {
        runTo(elapsed);
        std::vector<Outcome> outcomes;
        refresher->request([&](Outcome status) { outcomes.push_back(status); });
        for (runTo(elapsed); outcomes.empty();) runTo(platform->simClock().elapsed() + 0.05);
        return outcomes.front();
    }
    void runTo(double elapsed) { platform->mainQueue().runUntil(dateFromSecondsSince1970(1800000000 + elapsed)); }
    // A raw connection's answer, past the client's own spacing.
    Outcome rawRequest() {
        Outcome answer;
        auto connection = platform->refreshConnector().connect(PowerRefreshService::name, 4096);
        connection->resume();
        connection->requestRefresh([&](std::uint32_t status) { answer = status; }, [] {});
        runTo(platform->simClock().elapsed());
        return answer;
    }

    RecordingStream stream;
    std::unique_ptr<SimPlatform> platform;
    std::unique_ptr<SystemPowerRefresher> refresher;
};

TEST_F(SimRefreshConnectorTest, WithoutTheKeyTheComponentIsNotInstalled) {
    platform = std::make_unique<SimPlatform>(parseSimulation(R"({"format": "ampwell-simulation/1"})", "sim.json"));
    EXPECT_FALSE(makeSystemPowerRefresher(*platform)->isInstalled());
    load(R"({"installed": false})");
    EXPECT_FALSE(refresher->isInstalled());
    load("{}");
    EXPECT_TRUE(refresher->isInstalled());
}

TEST_F(SimRefreshConnectorTest, AcceptedRefreshPerformsItsActionsAndIsToldToTheStream) {
    load(R"({"actions": [{"after": 0.5, "set": {"id": 7, "properties": {"UpdateTime": 2}}}]})");
    EXPECT_EQ(requestAt(0), Outcome(0u));
    EXPECT_EQ(stream.lines, (std::vector<std::string>{R"(refresh-request {"request":1,"state":"sent"})",
                                                      R"(refresh-request {"request":1,"state":"answered","status":0})"}));
    auto battery = platform->registry().entry(7);
    EXPECT_EQ(battery->property("UpdateTime")->number()->value, 1) << "the action ran before its time";
    runTo(0.5);
    EXPECT_EQ(platform->registry().entry(7)->property("UpdateTime")->number()->value, 2);
}

TEST_F(SimRefreshConnectorTest, TheRealDaemonLogicLimitsAndEndsItself) {
    load("{}");
    EXPECT_EQ(rawRequest(), Outcome(0u));
    runTo(1.9);
    EXPECT_EQ(rawRequest(), Outcome(kIOReturnBusy));
    runTo(2.0);
    EXPECT_EQ(rawRequest(), Outcome(0u));
    EXPECT_EQ(platform->simRefreshService().commandCount(), 2u);
    EXPECT_EQ(platform->simRefreshService().launchCount(), 1u);
    runTo(12.5);  // ten seconds after the last accepted request the daemon has ended
    EXPECT_EQ(rawRequest(), Outcome(0u)) << "a relaunched daemon starts with a fresh limiter";
    EXPECT_EQ(platform->simRefreshService().launchCount(), 2u);
}

TEST_F(SimRefreshConnectorTest, ScriptedFailuresReachTheClientAsTheyWould) {
    load(R"({"userID": 501, "requests": [{"batteryManager": false}, {"open": "0xE00002C1"}, {"reply": 5},
             {"connection": "interrupted", "actions": [{"after": 0, "set": {"id": 7, "properties": {"UpdateTime": 3}}}]},
             {"connection": "invalidated"}, {"connection": "noProtocol"}]})");
    EXPECT_EQ(requestAt(0), Outcome(kIOReturnNotFound));
    EXPECT_EQ(requestAt(2), Outcome(0xE00002C1u));
    EXPECT_EQ(requestAt(4), Outcome()) << "a reply five seconds late is no reply";
    EXPECT_TRUE(refresher->lastRequestFailed());
    EXPECT_EQ(requestAt(10), Outcome());
    runTo(10.5);
    EXPECT_EQ(platform->registry().entry(7)->property("UpdateTime")->number()->value, 3) << "the interrupted refresh still ran";
    EXPECT_EQ(requestAt(12), Outcome());
    EXPECT_EQ(requestAt(14), Outcome());
    EXPECT_THAT(stream.lines, ::testing::Contains(R"(refresh-request {"discarded":true,"request":3,"state":"answered","status":0})"));
    EXPECT_THAT(stream.lines, ::testing::Contains(R"(refresh-request {"request":4,"state":"interrupted"})"));
    EXPECT_THAT(stream.lines, ::testing::Contains(R"(refresh-request {"request":6,"state":"noProtocol"})"));

    load(R"({"userID": 502})");
    EXPECT_EQ(requestAt(0), Outcome());
    EXPECT_EQ(stream.lines.back(), R"(refresh-request {"request":1,"state":"refused"})");
    EXPECT_EQ(platform->simRefreshService().commandCount(), 0u);
}

}  // namespace
}  // namespace ampwell::platform::sim
