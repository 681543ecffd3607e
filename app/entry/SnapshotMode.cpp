#include "app/entry/Modes.hpp"

namespace ampwell {

int runSnapshot(ModeContext& context) { return reportNotBuilt(context, "--snapshot"); }

}  // namespace ampwell
