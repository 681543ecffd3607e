#include "app/entry/Modes.hpp"

namespace ampwell {

int runListResetTargets(ModeContext& context) { return reportNotBuilt(context, "--list-reset-targets"); }

}  // namespace ampwell
