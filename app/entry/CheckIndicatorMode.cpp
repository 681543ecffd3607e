#include "app/entry/Modes.hpp"

namespace ampwell {

int runCheckIndicator(ModeContext& context) { return reportNotBuilt(context, "--check-indicator"); }

}  // namespace ampwell
