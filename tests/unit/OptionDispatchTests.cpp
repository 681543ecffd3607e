#include "app/entry/OptionDispatch.hpp"

#include <gtest/gtest.h>

namespace ampwell {
namespace {

Dispatch run(std::vector<std::string> args) {
    args.insert(args.begin(), "/usr/bin/ampwell");
    return dispatchOptions(args);
}

TEST(OptionDispatch, NoOptionLaunchesTheApplication) {
    EXPECT_EQ(run({}).mode, Mode::launchApplication);
    EXPECT_EQ(run({"--trace-sampling", "/tmp/trace.jsonl"}).mode, Mode::launchApplication);
    EXPECT_EQ(run({"--unknown"}).mode, Mode::launchApplication);
}

TEST(OptionDispatch, OptionsAreTestedInTheirFixedOrder) {
    // Every pair: the one earlier in the order wins, wherever it stands in the list.
    const std::vector<std::pair<std::vector<std::string>, Mode>> cases{
        {{"--snapshot", "--check-indicator"}, Mode::checkIndicator},
        {{"--notification-status", "--preview-menu", "out.png"}, Mode::previewMenu},
        {{"--snapshot", "--watch-connections"}, Mode::watchConnections},
        {{"--request-system-power", "--preview-icons", "i.png"}, Mode::previewIcons},
        {{"--snapshot", "--request-system-power"}, Mode::requestSystemPower},
        {{"--list-reset-targets", "--snapshot"}, Mode::snapshot},
        {{"--notification-status", "--list-reset-targets"}, Mode::listResetTargets},
        {{"--notification-status"}, Mode::notificationStatus},
        {{"--watch-connections", "--preview-icons", "x", "--check-indicator"}, Mode::checkIndicator},
    };
    for (const auto& [args, mode] : cases) EXPECT_EQ(run(args).mode, mode) << args.front();
}

TEST(OptionDispatch, HelpAndVersionComeAfterEveryDiagnosticModeAndBeforeTheApplication) {
    EXPECT_EQ(run({"--help"}).mode, Mode::help);
    EXPECT_EQ(run({"--version"}).mode, Mode::version);
    EXPECT_EQ(run({"--version", "--help"}).mode, Mode::help);
    EXPECT_EQ(run({"--help", "--notification-status"}).mode, Mode::notificationStatus);
    EXPECT_EQ(run({"--version", "--snapshot"}).mode, Mode::snapshot);
    // A value option given last is skipped, so the help still answers.
    EXPECT_EQ(run({"--help", "--preview-menu"}).mode, Mode::help);
    EXPECT_EQ(run({"--trace-sampling", "t.jsonl", "--version"}).mode, Mode::version);
}

TEST(OptionDispatch, TheMetricsServerComesAfterHelpAndVersion) {
    const auto served = run({"--serve-metrics", "9101"});
    EXPECT_EQ(served.mode, Mode::serveMetrics);
    EXPECT_EQ(served.value, "9101");
    EXPECT_EQ(run({"--serve-metrics", "9101", "--version"}).mode, Mode::version);
    EXPECT_EQ(run({"--serve-metrics", "9101", "--snapshot"}).mode, Mode::snapshot);
    EXPECT_EQ(run({"--serve-metrics"}).mode, Mode::launchApplication);
}

TEST(OptionDispatch, ValueOptionTakesTheArgumentAfterItsFirstOccurrence) {
    auto d = run({"--preview-menu", "a.png", "--preview-menu", "b.png"});
    EXPECT_EQ(d.mode, Mode::previewMenu);
    EXPECT_EQ(d.value, "a.png");
    // The value may itself look like an option.
    d = run({"--preview-icons", "--snapshot"});
    EXPECT_EQ(d.mode, Mode::previewIcons);
    EXPECT_EQ(d.value, "--snapshot");
}

TEST(OptionDispatch, ValueOptionGivenLastIsSkippedAndTheTestsGoOn) {
    EXPECT_EQ(run({"--preview-menu"}).mode, Mode::launchApplication);
    EXPECT_EQ(run({"--snapshot", "--preview-menu"}).mode, Mode::snapshot);
    EXPECT_EQ(run({"--watch-connections", "--preview-menu"}).mode, Mode::watchConnections);
    // Only the first occurrence counts: a later one with a value does not rescue it.
    EXPECT_EQ(run({"--list-reset-targets", "--preview-icons"}).mode, Mode::listResetTargets);
}

TEST(OptionDispatch, OptionsMatchOnlyWholeArguments) {
    EXPECT_EQ(run({"--snapshot=1"}).mode, Mode::launchApplication);
    EXPECT_EQ(run({"--SNAPSHOT"}).mode, Mode::launchApplication);
}

}  // namespace
}  // namespace ampwell
