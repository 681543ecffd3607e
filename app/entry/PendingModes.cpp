#include "app/entry/Modes.hpp"

namespace ampwell {

// Modes whose subsystems (the refresh daemon, notifications) are not built yet.

int runRequestSystemPower(ModeContext& context) {
    return reportNotBuilt(context, "--request-system-power");
}

}  // namespace ampwell
