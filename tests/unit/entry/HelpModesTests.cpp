#include "app/entry/AmpwellApplication.hpp"
#include "app/entry/OptionDispatch.hpp"
#include "app/entry/UsageText.hpp"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

namespace ampwell {
namespace {

struct ProgramRun {
    int status = 0;
    std::string out;
    std::string err;
};

ProgramRun runProgram(std::vector<std::string> args) {
    args.insert(args.begin(), "ampwell");
    std::ostringstream out;
    std::ostringstream err;
    // Neither text may need the machine: a platform request would fail the test.
    ModeContext context(std::move(args), out, err, []() -> std::unique_ptr<platform::Platform> {
        throw std::runtime_error("the platform was asked for");
    });
    const int status = AmpwellApplication::main(context);
    return {status, out.str(), err.str()};
}

TEST(HelpModes, HelpListsEveryOptionTheDispatchKnowsAndEveryEnvironmentVariable) {
    const ProgramRun help = runProgram({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.err, "");
    EXPECT_EQ(help.out, kUsageText);
    for (auto mode :
         {Mode::checkIndicator, Mode::previewMenu, Mode::watchConnections, Mode::previewIcons, Mode::requestSystemPower,
          Mode::snapshot, Mode::listResetTargets, Mode::notificationStatus, Mode::help, Mode::version}) {
        const std::string usage = std::string("ampwell ") + optionName(mode);
        EXPECT_NE(help.out.find(usage), std::string::npos) << usage;
    }
    EXPECT_NE(help.out.find("ampwell --preview-menu FILE\n"), std::string::npos);
    EXPECT_NE(help.out.find("--trace-sampling FILE"), std::string::npos);
    EXPECT_NE(help.out.find("ampwell --serve-metrics [HOST:]PORT\n"), std::string::npos);
    for (const char* variable : {"AMPWELL_SIMULATION=FILE", "AMPWELL_UI=headless|desktop", "AMPWELL_UI_LOG=FILE"})
        EXPECT_NE(help.out.find(variable), std::string::npos) << variable;
    // The options are listed in the order they are tested.
    EXPECT_LT(help.out.find("  --check-indicator"), help.out.find("  --preview-menu"));
    EXPECT_LT(help.out.find("  --notification-status"), help.out.find("  --help"));
}

TEST(HelpModes, VersionIsTheBuildsProjectVersion) {
    const ProgramRun version = runProgram({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "ampwell " AMPWELL_PROJECT_VERSION "\n");
}

}  // namespace
}  // namespace ampwell
