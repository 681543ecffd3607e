// The snapshot dump, run as the real program on simulated Macs: the JSON is compared by meaning
// with the expected file, its key order is checked in the text itself, and the verdict line must
// match exactly.
#include "tests/unit/support/GoldenScenario.hpp"
#include "tests/unit/support/JsonOrder.hpp"
#include "tests/unit/support/RunProgram.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace ampwell {
namespace {

// The JSON text (everything before the last line) and the last line, without its line feed.
std::pair<std::string, std::string> splitVerdict(const std::string& output) {
    if (output.empty() || output.back() != '\n') return {output, ""};
    const auto lastStart = output.rfind('\n', output.size() - 2);
    if (lastStart == std::string::npos) return {"", output.substr(0, output.size() - 1)};
    return {output.substr(0, lastStart + 1), output.substr(lastStart + 1, output.size() - lastStart - 2)};
}

class SnapshotGolden : public ::testing::TestWithParam<test::GoldenScenario> {};

TEST_P(SnapshotGolden, PrintsTheSnapshotSortedAndTheVerdict) {
    const auto run = test::runProgram({"--snapshot"}, GetParam().simulation);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const auto [json, verdict] = splitVerdict(run.out);
    const auto [expectedJson, expectedVerdict] = splitVerdict(test::sourceFile(GetParam().expected));
    ASSERT_TRUE(nlohmann::json::accept(json)) << run.out;
    EXPECT_EQ(nlohmann::json::parse(json), nlohmann::json::parse(expectedJson)) << json;
    EXPECT_TRUE(testing::keysSortedAtEveryLevel(json)) << json;
    EXPECT_EQ(verdict, expectedVerdict);
}

INSTANTIATE_TEST_SUITE_P(
    Scenarios, SnapshotGolden,
    ::testing::Values(test::GoldenScenario{"tests/scenarios/snapshot/desk.json",
                                           "tests/scenarios/snapshot/desk.expected.txt"},
                      test::GoldenScenario{"tests/scenarios/snapshot/low-power.json",
                                           "tests/scenarios/snapshot/low-power.expected.txt"},
                      test::GoldenScenario{"tests/scenarios/snapshot/no-power-service.json",
                                           "tests/scenarios/snapshot/no-power-service.expected.txt"},
                      test::GoldenScenario{"tests/scenarios/snapshot/nothing-attached.json",
                                           "tests/scenarios/snapshot/nothing-attached.expected.txt"},
                      test::GoldenScenario{"tests/scenarios/snapshot/two-ipads.json",
                                           "tests/scenarios/snapshot/two-ipads.expected.txt"},
                      test::GoldenScenario{"tests/scenarios/snapshot/unpaired.json",
                                           "tests/scenarios/snapshot/unpaired.expected.txt"},
                      test::GoldenScenario{"tests/scenarios/snapshot/slow-ipad.json",
                                           "tests/scenarios/snapshot/slow-ipad.expected.txt"},
                      test::GoldenScenario{"tests/scenarios/snapshot/slow-but-in-time.json",
                                           "tests/scenarios/snapshot/slow-but-in-time.expected.txt"},
                      test::GoldenScenario{"tests/scenarios/snapshot/framework-unavailable.json",
                                           "tests/scenarios/snapshot/framework-unavailable.expected.txt"}),
    test::goldenScenarioName);

TEST(SnapshotMode, TheJSONIsAConventionalTwoSpacePrettyPrint) {
    const auto run = test::runProgram({"--snapshot"}, "tests/scenarios/snapshot/unpaired.json");
    const auto [json, verdict] = splitVerdict(run.out);
    EXPECT_EQ(json, nlohmann::json::parse(json).dump(2) + "\n");
    EXPECT_EQ(json.substr(0, 19), "{\n  \"batteries\": [\n");
}

}  // namespace
}  // namespace ampwell
