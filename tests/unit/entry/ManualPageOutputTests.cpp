// The manual page says what each diagnostic mode prints: every line the mode prints under English
// has the shape one of its option's "lines" in docs/manual/pages.json describes, and every shape
// the page describes is printed by some run, so the page promises no column the mode lacks.
#include "tests/unit/support/RunProgram.hpp"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace ampwell {
namespace {

struct ModeRun {
    std::string option;
    std::string simulation;
};

// Runs that between them print every kind of line of every mode the page describes.
const std::vector<ModeRun> kRuns{
    {"--check-indicator", "tests/scenarios/snapshot/desk.json"},
    {"--watch-connections", "tests/scenarios/watch/plug-and-unplug.json"},
    {"--watch-connections", "tests/scenarios/watch/nothing-attached.json"},
    {"--request-system-power", "tests/scenarios/request_system_power/accepted-0.json"},
    {"--request-system-power", "tests/scenarios/request_system_power/not-installed-1.json"},
    {"--snapshot", "tests/scenarios/snapshot/desk.json"},
    {"--list-reset-targets", "tests/scenarios/reset_targets/hubs-and-builtin.json"},
    {"--notification-status", "tests/scenarios/snapshot/desk.json"},
    {"--version", "tests/scenarios/snapshot/desk.json"},
};

TEST(ManualPage, EveryModeItDescribesPrintsTheLinesItDescribes) {
    const auto pages = nlohmann::json::parse(test::sourceFile("docs/manual/pages.json"));
    std::map<std::string, std::vector<std::string>> shapes;
    for (const auto& page : pages.at("pages"))
        for (const auto& option : page.at("options"))
            if (option.contains("lines"))
                shapes[option.at("option")] = option.at("lines").get<std::vector<std::string>>();
    ASSERT_FALSE(shapes.empty());

    std::map<std::string, std::vector<bool>> seen;
    for (const auto& [option, patterns] : shapes) seen[option].assign(patterns.size(), false);
    for (const auto& run : kRuns) {
        ASSERT_TRUE(shapes.count(run.option)) << run.option << " has no \"lines\" in the page";
        const auto result = test::runProgram({run.option}, run.simulation, {"LC_ALL=C.UTF-8", "LANGUAGE=en"});
        std::istringstream out(result.out);
        std::string line;
        while (std::getline(out, line)) {
            bool described = false;
            for (std::size_t i = 0; i < shapes[run.option].size(); ++i)
                if (std::regex_match(line, std::regex(shapes[run.option][i]))) described = seen[run.option][i] = true;
            EXPECT_TRUE(described) << run.option << " on " << run.simulation
                                   << " prints a line the page does not describe:\n"
                                   << line;
        }
    }
    for (const auto& [option, flags] : seen)
        for (std::size_t i = 0; i < flags.size(); ++i)
            EXPECT_TRUE(flags[i]) << "the page describes a line of " << option
                                  << " that no run prints: " << shapes[option][i];
}

}  // namespace
}  // namespace ampwell
