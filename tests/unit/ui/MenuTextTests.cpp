#include "app/ui/MenuText.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

PortReading port(int number, std::optional<double> watts, std::vector<std::string> names = {"iPad"}) {
    PortReading reading;
    reading.port = number;
    for (const auto& name : names) reading.connections.push_back({name, "S", "B:1"});
    reading.devices = names;
    reading.watts = watts;
    return reading;
}

TEST(MenuText, FormatsMeasurementsAndTheirAbsence) {
    EXPECT_EQ(formatMeasurement(12.34, 1, "W"), "12.3 W");
    EXPECT_EQ(formatMeasurement(8.6449, 2, "W"), "8.64 W");
    EXPECT_EQ(formatMeasurement(std::nullopt, 1, "W"), "— W");
    EXPECT_EQ(truncatedWatts(15.9), "15");
    EXPECT_EQ(truncatedWatts(1e300).size(), 301u);  // printed in full, never wrapped
}

TEST(MenuText, ModeTextsForEachDisplayMode) {
    const std::vector<PortReading> ports = {port(1, 5.0), port(2, 7.5, {"Disk"}), port(3, std::nullopt, {"Hub"})};
    const std::vector<const PortReading*> connected{&ports[0], &ports[1], &ports[2]};
    ModeTextInputs inputs{"icon", false, &ports[0], connected, 12.5, true};
    EXPECT_EQ(statusModeText(inputs), "");
    inputs.mode = "total";
    EXPECT_EQ(statusModeText(inputs), "USB 已知 12.5 W");
    inputs.mode = "portxy";
    EXPECT_EQ(statusModeText(inputs), "USB 已知 12.5 W");
    inputs.mode = "port7";
    EXPECT_EQ(statusModeText(inputs), "C7 — W");
    inputs.mode = "port2";
    EXPECT_EQ(statusModeText(inputs), "C2 7.5 W");
    inputs.mode = "ipad";
    EXPECT_EQ(statusModeText(inputs), "iPad 5.0 W");
    const PortReading shared = port(1, 5.0, {"iPad", "Keyboard"});
    inputs.iPadPort = &shared;
    EXPECT_EQ(statusModeText(inputs), "iPad接口 5.0 W");
    inputs.iPadPort = nullptr;
    EXPECT_EQ(statusModeText(inputs), "iPad — W");
    inputs.snapshotHasError = true;
    EXPECT_EQ(statusModeText(inputs), "USB — W");
    EXPECT_EQ(statusModeText({"total", false, nullptr, {}, std::nullopt, false}), "USB — W");
}

TEST(MenuText, ResetTitlesTellSameNamedDevicesOnOnePortApart) {
    USBResetTarget first{0x100012AB4, "USB Hub", "", "1", std::nullopt, true, 2};
    USBResetTarget second{0xC3, "USB Hub", "", "2", std::nullopt, true, 2};
    USBResetTarget loose{0x77, "Disk", "", "3", std::nullopt, false, std::nullopt};
    const std::vector<USBResetTarget> all = {first, second, loose};
    EXPECT_EQ(resetItemTitle(first, all), "接口 2 · USB Hub [2AB4]（含下游设备）…");
    EXPECT_EQ(resetItemTitle(second, all), "接口 2 · USB Hub [C3]（含下游设备）…");
    EXPECT_EQ(resetItemTitle(loose, all), "Disk…");
    EXPECT_EQ(resetItemTitle(first, {first}), "接口 2 · USB Hub（含下游设备）…");
}

TEST(MenuText, ElectricalLineWaitsForPower) {
    PortReading reading = port(1, std::nullopt);
    EXPECT_EQ(electricalText(reading), "正在读取功率…");
    reading.watts = 8.6;
    reading.volts = 5.08;
    reading.configuredWatts = 15;
    EXPECT_EQ(electricalText(reading), "5.08 V  /  — A  ·  上限 15.0 W");
}

}  // namespace
}  // namespace ampwell
