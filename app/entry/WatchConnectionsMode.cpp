#include "app/entry/Modes.hpp"

namespace ampwell {

int runWatchConnections(ModeContext& context) { return reportNotBuilt(context, "--watch-connections"); }

}  // namespace ampwell
