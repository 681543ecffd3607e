#pragma once

#include "app/entry/ModeContext.hpp"

#include <string>

namespace ampwell {

// Each diagnostic mode returns the process's exit status. A mode that is not built yet says so on
// standard error and returns kNotBuiltStatus: it never pretends to work.
inline constexpr int kNotBuiltStatus = 2;
int reportNotBuilt(ModeContext& context, const std::string& what);

int runCheckIndicator(ModeContext& context);
int runPreviewMenu(ModeContext& context, const std::string& path);
int runWatchConnections(ModeContext& context);
int runPreviewIcons(ModeContext& context, const std::string& path);
int runRequestSystemPower(ModeContext& context);
int runSnapshot(ModeContext& context);
int runListResetTargets(ModeContext& context);
int runNotificationStatus(ModeContext& context);
// Prints the history's rows of the last --since span (24h) as --format (csv or json); on a
// simulation's frozen clock, of the day it plays first.
int runHistory(ModeContext& context);
// Draws the chart of the last day, light and dark, into `path` (PNG); on a simulation's frozen
// clock, of the day it plays first.
int runPreviewHistory(ModeContext& context, const std::string& path);
int runHelp(ModeContext& context);
int runVersion(ModeContext& context);
// Serves the metrics of every device on the host at `address` ("[HOST:]PORT") until stopped.
int runServeMetrics(ModeContext& context, const std::string& address);
int runApplication(ModeContext& context);

}  // namespace ampwell
