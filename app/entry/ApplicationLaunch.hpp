#pragma once

#include "app/model/DeviceBattery.hpp"
#include "app/ui/AppDelegate.hpp"
#include "platform/Platform.hpp"
#include "platform/desktop/Desktop.hpp"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace ampwell {

// The bundle identifier the single-instance rule is keyed on.
inline constexpr const char* kBundleIdentifier = "local.ampwell";

// The parts of the machine the menu-bar application is wired from. Made from a platform, every
// part is that platform's own; a test replaces the parts it fakes before wiring, so that it runs
// the very wiring the program runs. Every referenced seam must outlive the application.
struct ApplicationSeams {
    explicit ApplicationSeams(platform::Platform& platform);

    std::reference_wrapper<platform::Clock> clock;
    std::reference_wrapper<platform::MainQueue> mainQueue;
    std::reference_wrapper<platform::Registry> registry;
    std::reference_wrapper<platform::MobileDeviceService> mobileDevices;
    std::reference_wrapper<platform::Defaults> defaults;
    std::reference_wrapper<platform::SystemLog> systemLog;
    std::reference_wrapper<platform::UsbHost> usbHost;
    std::reference_wrapper<platform::RefreshConnector> refreshConnector;
    platform::RefreshInstallation refreshInstallation;
    // Whole seconds since 1970 of the machine's boot; nullopt when unknown.
    std::function<std::optional<std::int64_t>()> bootTimeSeconds;
    // The blocking battery read of the attached iOS devices. Empty: a battery reader over
    // `mobileDevices`, `registry` and `clock`, owned by the application for its whole run.
    std::function<std::vector<DeviceBattery>(const std::set<std::string>& accountSerials)> readBatteries;
    // The file the application keeps its history in; nullopt: it keeps none.
    std::optional<std::string> historyPath;
};

// Builds the menu-bar controller from `seams` and shows it on `desktop`: the controller becomes
// the application's delegate and the application turns into a status-bar accessory. The caller
// keeps the controller for as long as the application runs, since the application holds it weakly.
// Main thread, before the application runs.
std::shared_ptr<AppDelegate> wireMenuBarApplication(ApplicationSeams seams, platform::Desktop& desktop,
                                                    std::vector<std::string> arguments);

// Runs the menu-bar application, wired from `platform`, on `desktop` until it terminates. Returns
// the run loop's exit status. The single-instance check comes before this.
int runMenuBarApplication(platform::Platform& platform, platform::Desktop& desktop,
                          const std::vector<std::string>& arguments);

}  // namespace ampwell
