// Golden scenarios: each tests/scenarios/telemetry/NAME.json is a simulated Mac, and
// NAME.expected.json the snapshot the telemetry reader must produce from it.
#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "tests/unit/support/JsonOrder.hpp"
#include "tests/unit/support/SnapshotInvariants.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace ampwell {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> scenarioNames() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(fs::path(AMPWELL_SOURCE_DIR) / "tests/scenarios/telemetry")) {
        const std::string file = entry.path().filename().string();
        const std::string suffix = ".expected.json";
        if (file.size() > suffix.size() && file.compare(file.size() - suffix.size(), suffix.size(), suffix) == 0)
            names.push_back(file.substr(0, file.size() - suffix.size()));
    }
    std::sort(names.begin(), names.end());
    return names;
}

class TelemetryScenario : public ::testing::TestWithParam<std::string> {};

TEST_P(TelemetryScenario, SnapshotMatchesExpectedJSON) {
    const fs::path dir = fs::path(AMPWELL_SOURCE_DIR) / "tests/scenarios/telemetry";
    auto platform = platform::sim::makeSimulatedPlatform((dir / (GetParam() + ".json")).string());
    BootIdentity boot([&] { return platform->bootTimeSeconds(); });
    Telemetry telemetry(platform->registry(), platform->clock(), boot);

    const std::string text = toJSON(telemetry.read()).dump(2);
    std::ifstream expectedFile(dir / (GetParam() + ".expected.json"));
    const auto expected = nlohmann::json::parse(expectedFile);
    EXPECT_EQ(nlohmann::json::parse(text), expected) << text;
    EXPECT_TRUE(testing::keysSortedAtEveryLevel(text)) << text;
}

TEST_P(TelemetryScenario, KeepsTheRulesTheFuzzerChecks) {
    const fs::path dir = fs::path(AMPWELL_SOURCE_DIR) / "tests/scenarios/telemetry";
    std::ifstream expectedFile(dir / (GetParam() + ".expected.json"));
    EXPECT_EQ(testing::brokenSnapshotRule(snapshotFromJSON(nlohmann::json::parse(expectedFile))), "");
}

INSTANTIATE_TEST_SUITE_P(Golden, TelemetryScenario, ::testing::ValuesIn(scenarioNames()),
                         [](const auto& info) {
                             std::string name = info.param;
                             for (auto& c : name)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return name;
                         });

}  // namespace
}  // namespace ampwell
