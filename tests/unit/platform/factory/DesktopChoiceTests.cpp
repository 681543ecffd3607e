#include "platform/factory/DesktopChoice.hpp"

#include "platform/desktop/headless/HeadlessDesktop.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimulationLoader.hpp"

#include <gtest/gtest.h>

#include <sstream>

namespace ampwell::platform {
namespace {

struct Choice {
    std::unique_ptr<Desktop> desktop;
    std::string error;
    std::string notes;
};

Choice choose(Platform& platform, const char* ui, const NativeDesktopFactory& native, const char* log = nullptr) {
    std::ostringstream out;
    std::ostringstream err;
    Choice choice;
    try {
        choice.desktop = chooseDesktop(platform, {ui, log, out, err}, native);
    } catch (const PlatformError& error) {
        choice.error = error.what();
    }
    choice.notes = err.str();
    return choice;
}

TEST(DesktopChoice, FollowsAmpwellUiAndFallsBackToHeadlessSayingSo) {
    sim::SimPlatform platform(sim::parseSimulation(R"({"format": "ampwell-simulation/1"})", "sim.json"));
    int nativeAsked = 0;
    const NativeDesktopFactory unreachable = [&](Platform&) -> std::unique_ptr<Desktop> {
        ++nativeAsked;
        return nullptr;
    };

    auto headless = choose(platform, "headless", unreachable);
    EXPECT_NE(dynamic_cast<headless::HeadlessDesktop*>(headless.desktop.get()), nullptr);
    EXPECT_EQ(headless.notes, "");
    EXPECT_EQ(nativeAsked, 0);  // asked for headless: no tray host is looked for
    headless.desktop.reset();

    auto fallback = choose(platform, nullptr, unreachable);
    EXPECT_NE(dynamic_cast<headless::HeadlessDesktop*>(fallback.desktop.get()), nullptr);
    EXPECT_EQ(fallback.notes,
              "ampwell: no desktop can be reached; showing what the menu bar would show on standard output instead "
              "(AMPWELL_UI=headless)\n");
    fallback.desktop.reset();

    EXPECT_EQ(choose(platform, "desktop", unreachable).error,
              "AMPWELL_UI=desktop, but no desktop can be reached (no graphical display or no session bus)");
    EXPECT_EQ(choose(platform, "Headless", unreachable).error,
              "AMPWELL_UI: expected \"headless\" or \"desktop\", found \"Headless\"");
    EXPECT_EQ(choose(platform, "headless", unreachable, "/nonexistent/dir/events.jsonl").error,
              "AMPWELL_UI_LOG: /nonexistent/dir/events.jsonl: cannot be opened for appending: No such file or directory");
}

}  // namespace
}  // namespace ampwell::platform
