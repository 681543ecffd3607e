#include "platform/sim/SimMobileDeviceService.hpp"

#include "app/batteries/MobileDeviceAPI.hpp"
#include "platform/sim/SimulationLoader.hpp"
#include "tests/unit/support/SimulatedIPad.hpp"

#include <gtest/gtest.h>

namespace ampwell::platform::sim {
namespace {

using State = MobileDeviceService::State;

TEST(SimMobileDeviceService, AnswersFromTheDeviceAsItIsAtEachCall) {
    auto platform = test::simulatedIPad();
    auto& service = platform->mobileDevices();
    EXPECT_EQ(service.state(), State::notLoaded);
    ASSERT_EQ(service.load(), State::loaded);
    auto list = service.createDeviceList();
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 1u);
    auto& device = *list->front();

    MobileDeviceAPI api(service, platform->clock());
    EXPECT_EQ(api.read(device)->percent, 80);

    SimMobileDeviceUpdate update;
    update.identifier = "00008103-001A";
    update.values["com.apple.mobile.battery"].insert_or_assign("BatteryCurrentCapacity",
                                                               PropertyValue::wholeNumber(81));
    update.paired = 0;
    platform->simMobileDevices().update(update);
    const auto unpaired = api.read(device);
    ASSERT_TRUE(unpaired);
    EXPECT_EQ(unpaired->percent, std::nullopt);  // not paired: listed with unknown values

    // A device unplugged after it was listed refuses the connection and gives nothing.
    platform->simMobileDevices().remove("00008103-001A");
    EXPECT_EQ(service.connect(device), kMobileDeviceGone);
    EXPECT_EQ(service.copyValue(device, std::nullopt, std::string("DeviceClass")), std::nullopt);
    EXPECT_EQ(service.copyDeviceIdentifier(device), "00008103-001A");
    EXPECT_EQ(service.createDeviceList()->size(), 0u);
    EXPECT_EQ(static_cast<SimMobileDeviceService&>(service).openConnections(), 0);
    EXPECT_EQ(static_cast<SimMobileDeviceService&>(service).openSessions(), 0);
}

TEST(SimMobileDeviceService, OptionalOperationsFollowTheFile) {
    auto platform = parseSimulation(R"({"format": "ampwell-simulation/1",
        "mobileDevices": [{"identifier": "X", "paired": 0}]})", "bare.json");
    SimPlatform simulated(std::move(platform));
    auto& service = simulated.mobileDevices();
    service.load();
    const auto list = service.createDeviceList();
    auto& device = *list->front();
    EXPECT_EQ(service.interfaceType(device), std::nullopt);
    EXPECT_EQ(service.copyDeviceUSBSerialNumber(device), std::nullopt);
    EXPECT_EQ(service.isPaired(device), 0);
    MobileDeviceAPI api(service, simulated.clock());
    const auto battery = api.read(device);
    ASSERT_TRUE(battery);
    EXPECT_EQ(battery->serial, "X");
    EXPECT_EQ(battery->deviceClass, "iOS");
}

TEST(SimMobileDeviceService, TheTimelineChangesDevicesWhileTheProgramRuns) {
    auto platform = test::simulatedIPad(nullptr, nlohmann::json::parse(R"({"timeline": [
        {"at": 2, "mobile": {"identifier": "00008103-001A", "readDelay": 3,
                              "values": {"com.apple.mobile.battery": {"BatteryIsCharging": true}}}},
        {"at": 5, "mobile": {"identifier": "00008103-001A", "remove": true}}]})"));
    auto& service = platform->mobileDevices();
    service.load();
    auto list = service.createDeviceList();
    MobileDeviceAPI api(service, platform->clock());
    platform->mainQueue().runUntil(platform->clock().now() + Seconds(2));
    // The new delay is spent on the simulated clock, which stands still until someone waits.
    const auto charging = api.read(*list->front());
    ASSERT_TRUE(charging);
    EXPECT_EQ(charging->isCharging, true);
    EXPECT_EQ(platform->simClock().elapsed(), 5.0);
    platform->mainQueue().runUntil(platform->clock().now());
    EXPECT_FALSE(api.read(*list->front()));
}

TEST(SimMobileDeviceService, BadSettingsAreRefusedWithTheirPlace) {
    const auto refused = [](const std::string& text) -> std::string {
        try {
            parseSimulation(text, "bad.json");
        } catch (const PlatformError& error) {
            return error.what();
        }
        return "accepted";
    };
    EXPECT_NE(refused(R"({"format": "ampwell-simulation/1", "mobileDevices": [{"identifier": "X", "readDelay": -1}]})")
                  .find("bad.json: $.mobileDevices[0].readDelay"),
              std::string::npos);
    EXPECT_NE(refused(R"({"format": "ampwell-simulation/1", "mobileDeviceService": "sometimes"})")
                  .find("bad.json: $.mobileDeviceService: expected \"available\" or \"unavailable\""),
              std::string::npos);
    EXPECT_EQ(refused(R"({"format": "ampwell-simulation/1", "mobileDeviceService": "available"})"), "accepted");
}

}  // namespace
}  // namespace ampwell::platform::sim
