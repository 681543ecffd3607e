#include "app/metrics/FleetSampler.hpp"

#include "tests/unit/metrics/FleetFixture.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>

namespace ampwell {
namespace {

using test::FleetDeviceSpec;
using test::FleetPortSpec;

constexpr const char* kStrong = "00008101-0000000000000A01";
constexpr const char* kWeak = "00008101-0000000000000B02";
constexpr const char* kSharedIPad = "00008101-0000000000000C03";
constexpr const char* kSharedPhone = "00008101-0000000000000D04";

// A station of three ports: a strong one, a weak one, and one a tablet and a phone share.
std::vector<FleetPortSpec> station() {
    return {
        {1, 5000, 3000, {{"iPad", kStrong, 60, true}}},
        {2, 5000, 500, {{"iPad", kWeak, 50, true}}},
        {3, 5000, 2000, {{"iPad Air", kSharedIPad, 70, true}, {"iPhone", kSharedPhone, 40, true}}},
    };
}

struct Running {
    std::unique_ptr<platform::sim::SimPlatform> platform;
    std::unique_ptr<BootIdentity> boot;
    std::unique_ptr<FleetSampler> sampler;
    int published = 0;

    const FollowedDevice& device(const std::string& serial) const {
        const auto& devices = sampler->fleet().state().devices;
        const auto found = std::find_if(devices.begin(), devices.end(),
                                        [&](const FollowedDevice& device) { return device.serial == serial; });
        if (found == devices.end()) throw std::runtime_error("not followed: " + serial);
        return *found;
    }
    void runTo(double seconds) {
        platform->mainQueue().runUntil(platform::dateFromSecondsSince1970(1800000000 + seconds));
    }
};

Running start(std::unique_ptr<platform::sim::SimPlatform> platform) {
    Running running;
    running.platform = std::move(platform);
    auto* raw = running.platform.get();
    running.boot = std::make_unique<BootIdentity>([raw] { return raw->bootTimeSeconds(); });
    running.sampler = std::make_unique<FleetSampler>(
        raw->registry(), raw->mobileDevices(), raw->defaults(), raw->clock(), raw->mainQueue(), *running.boot,
        [&published = running.published](const FleetState&) { ++published; });
    running.sampler->start();
    return running;
}

TEST(FleetSampler, ReportsEachPortAndDeviceAsTheFileDescribesThem) {
    auto running = start(test::simulatedFleet(station()));
    const FleetState& state = running.sampler->fleet().state();
    ASSERT_EQ(state.ports.size(), 3u);
    EXPECT_EQ(state.ports[1].label, "2");
    EXPECT_DOUBLE_EQ(*state.ports[1].volts, 5.0);
    EXPECT_DOUBLE_EQ(*state.ports[1].amps, 0.5);
    EXPECT_DOUBLE_EQ(*state.ports[1].watts, 2.5);
    EXPECT_DOUBLE_EQ(*state.ports[0].limitWatts, 15.0);
    EXPECT_EQ(state.portsReadAt, running.platform->clock().now());

    ASSERT_EQ(state.devices.size(), 4u);
    const FollowedDevice& weak = running.device(kWeak);
    EXPECT_EQ(weak.port, "2");
    EXPECT_DOUBLE_EQ(*weak.batteryRatio, 0.5);
    EXPECT_EQ(weak.charging, true);
    EXPECT_EQ(weak.externalPower, true);
    EXPECT_TRUE(weak.lastRead.has_value());
    EXPECT_EQ(running.device(kSharedPhone).name, "iPhone");
    EXPECT_GE(running.published, 1);
}

TEST(FleetSampler, JudgesEveryDeviceOnItsOwnPort) {
    auto running = start(test::simulatedFleet(station()));
    EXPECT_EQ(running.device(kStrong).verdict, IndicatorState::normal);
    EXPECT_EQ(running.device(kWeak).verdict, IndicatorState::low);
    // A port shared by two devices gives their sum: it says nothing of either one's supply.
    EXPECT_EQ(running.device(kSharedIPad).verdict, IndicatorState::unavailable);
    EXPECT_EQ(running.device(kSharedPhone).verdict, IndicatorState::unavailable);
}

TEST(FleetSampler, FollowsTheThresholdTheUserSet) {
    auto platform = test::simulatedFleet(station());
    platform->defaults().set(FleetSampler::kThresholdKey, platform::PropertyValue::realNumber(20.0));
    auto running = start(std::move(platform));
    EXPECT_EQ(running.device(kStrong).verdict, IndicatorState::low);
    EXPECT_DOUBLE_EQ(running.sampler->fleet().state().thresholdWatts, 20.0);
}

TEST(FleetSampler, ADrainOnExternalPowerIsSeenOnlyOnTheDeviceThatFalls) {
    nlohmann::json timeline = nlohmann::json::array();
    for (int step = 1; step <= 6; ++step) timeline.push_back(test::chargeAt(120.0 * step, kWeak, 50 - step));
    auto running = start(test::simulatedFleet(station(), timeline));

    running.runTo(200);
    EXPECT_FALSE(running.device(kWeak).draining);  // two points in 200 s are no evidence yet
    EXPECT_EQ(running.device(kWeak).drainDepthRatio, 0.0);

    running.runTo(400);
    EXPECT_TRUE(running.device(kWeak).draining);
    EXPECT_DOUBLE_EQ(running.device(kWeak).drainDepthRatio, 0.03);
    EXPECT_FALSE(running.device(kStrong).draining);

    running.runTo(730);
    EXPECT_DOUBLE_EQ(running.device(kWeak).drainDepthRatio, 0.06);
    // The reads keep coming at the idle cadence, each stamped when it was taken.
    EXPECT_GE(*running.device(kWeak).lastRead, platform::dateFromSecondsSince1970(1800000000 + 700));
}

TEST(FleetSampler, ARisingChargeEndsTheDrainAndItsDepth) {
    nlohmann::json timeline = nlohmann::json::array();
    for (int step = 1; step <= 4; ++step) timeline.push_back(test::chargeAt(120.0 * step, kWeak, 50 - step));
    timeline.push_back(test::chargeAt(600, kWeak, 47));
    auto running = start(test::simulatedFleet(station(), timeline));
    running.runTo(500);
    ASSERT_TRUE(running.device(kWeak).draining);
    running.runTo(640);
    EXPECT_FALSE(running.device(kWeak).draining);
    EXPECT_EQ(running.device(kWeak).drainDepthRatio, 0.0);
}

TEST(FleetSampler, AnUnpluggedDeviceIsNoLongerFollowed) {
    const nlohmann::json timeline =
        nlohmann::json::array({{{"at", 60}, {"remove", test::fleetDeviceID(2, 0)}},
                               {{"at", 60}, {"mobile", {{"identifier", kWeak}, {"remove", true}}}}});
    auto running = start(test::simulatedFleet(station(), timeline));
    running.runTo(61);
    const auto& devices = running.sampler->fleet().state().devices;
    EXPECT_EQ(devices.size(), 3u);
    EXPECT_TRUE(std::none_of(devices.begin(), devices.end(),
                             [](const FollowedDevice& device) { return device.serial == kWeak; }));
    EXPECT_EQ(running.sampler->fleet().state().ports.size(), 2u);
}

TEST(FleetSampler, CountsReadErrorsByKind) {
    auto ports = station();
    // A device that never answers in time: the battery read of this station times out.
    ports[1].devices[0].readDelay = 10;
    auto running = start(test::simulatedFleet(ports));
    const FleetState& state = running.sampler->fleet().state();
    EXPECT_EQ(state.errors(ReadErrorKind::batteryTimeout), 1u);
    EXPECT_EQ(state.errors(ReadErrorKind::ports), 0u);
    EXPECT_FALSE(running.device(kWeak).lastRead.has_value());
    EXPECT_EQ(running.device(kWeak).verdict, IndicatorState::unavailable);
}

}  // namespace
}  // namespace ampwell
