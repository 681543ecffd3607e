#pragma once

#include "platform/Platform.hpp"
#include "platform/desktop/Desktop.hpp"

#include <string>
#include <vector>

namespace ampwell {

// The bundle identifier the single-instance rule is keyed on.
inline constexpr const char* kBundleIdentifier = "local.ampwell";

// Runs the menu-bar application on `desktop` until it terminates: the controller becomes the
// application's delegate, the application turns into a status-bar accessory, and the run loop
// runs. Returns the run loop's exit status. The single-instance check comes before this.
int runMenuBarApplication(platform::Platform& platform, platform::Desktop& desktop,
                          const std::vector<std::string>& arguments);

}  // namespace ampwell
