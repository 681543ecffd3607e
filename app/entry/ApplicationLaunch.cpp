#include "app/entry/ApplicationLaunch.hpp"

#include "app/entry/Modes.hpp"

namespace ampwell {

int runApplication(ModeContext& context) {
    // Only one instance runs at a time: a second start ends silently, before anything is shown.
    if (!context.platform().instanceLock().acquire(kBundleIdentifier)) return 0;
    return reportNotBuilt(context, "the menu-bar application");
}

}  // namespace ampwell
