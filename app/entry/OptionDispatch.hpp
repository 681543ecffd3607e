#pragma once

#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// What one start of the program does, decided from its arguments alone.
enum class Mode {
    checkIndicator,
    previewMenu,
    watchConnections,
    previewIcons,
    requestSystemPower,
    snapshot,
    listResetTargets,
    notificationStatus,
    history,
    previewHistory,
    help,
    version,
    serveMetrics,
    launchApplication,
};

struct Dispatch {
    Mode mode = Mode::launchApplication;
    std::optional<std::string> value;  // the output path of the preview modes, the address to serve metrics at
};

// Tests the options in their fixed order; the first that matches decides. A value option looks
// only at its first occurrence: followed by an argument, that argument is its value; given last,
// the option is skipped and the tests go on. `arguments[0]` is the program path.
Dispatch dispatchOptions(const std::vector<std::string>& arguments);

// The option text of a mode ("--snapshot"), or "" for the application launch.
const char* optionName(Mode mode);

}  // namespace ampwell
