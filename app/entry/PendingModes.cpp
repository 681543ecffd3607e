#include "app/entry/Modes.hpp"

namespace ampwell {

// Modes whose subsystems (the refresh daemon, notifications) are not built yet.

int runRequestSystemPower(ModeContext& context) {
    return reportNotBuilt(context, "--request-system-power");
}

int runNotificationStatus(ModeContext& context) {
    return reportNotBuilt(context, "--notification-status");
}

}  // namespace ampwell
