#include "platform/factory/DesktopChoice.hpp"

#include "platform/desktop/headless/HeadlessDesktop.hpp"

#include <optional>
#include <ostream>
#include <string>

namespace ampwell::platform {
namespace {

std::unique_ptr<Desktop> headlessDesktop(Platform& platform, const DesktopEnvironment& environment) {
    std::optional<std::string> log;
    if (environment.uiLog && *environment.uiLog) log = environment.uiLog;
    try {
        return std::make_unique<headless::HeadlessDesktop>(platform, environment.out, std::move(log));
    } catch (const headless::EventLogError& error) {
        throw PlatformError(std::string("AMPWELL_UI_LOG: ") + error.what());
    }
}

}  // namespace

std::unique_ptr<Desktop> chooseDesktop(Platform& platform, const DesktopEnvironment& environment,
                                       const NativeDesktopFactory& native) {
    const std::string requested = environment.ui ? environment.ui : "";
    if (requested == "headless") return headlessDesktop(platform, environment);
    if (requested != "desktop" && !requested.empty())
        throw PlatformError("AMPWELL_UI: expected \"headless\" or \"desktop\", found \"" + requested + "\"");

    if (native)
        if (auto desktop = native(platform)) return desktop;
    if (requested == "desktop")
        throw PlatformError(
            "AMPWELL_UI=desktop, but no desktop can be reached (no graphical display or no session bus)");
    environment.err << "ampwell: no desktop can be reached; showing what the menu bar would show on standard "
                       "output instead (AMPWELL_UI=headless)"
                    << std::endl;
    return headlessDesktop(platform, environment);
}

}  // namespace ampwell::platform
