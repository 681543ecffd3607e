#include "app/entry/ApplicationLaunch.hpp"

#include "app/batteries/DeviceBatteryReader.hpp"
#include "app/entry/Modes.hpp"
#include "app/refresh/SystemPowerRefresher.hpp"
#include "app/ui/AppDelegate.hpp"

#include <memory>

namespace ampwell {

int runMenuBarApplication(platform::Platform& platform, platform::Desktop& desktop,
                          const std::vector<std::string>& arguments) {
    // The controller owns the battery reader through the read it is handed, for its whole run.
    auto batteryReader =
        std::make_shared<DeviceBatteryReader>(platform.mobileDevices(), platform.registry(), platform.clock());
    auto controller = AppDelegate::make({
        platform.clock(),
        platform.mainQueue(),
        platform.registry(),
        platform.defaults(),
        platform.systemLog(),
        platform.usbHost(),
        desktop,
        [&platform] { return platform.bootTimeSeconds(); },
        [batteryReader](const std::set<std::string>& accountSerials) { return batteryReader->readAll(accountSerials); },
        makeSystemPowerRefresher(platform),
        arguments,
    });
    auto& application = desktop.application();
    application.setDelegate(controller);
    application.setActivationPolicy(platform::ActivationPolicy::accessory);
    return application.run();
}

int runApplication(ModeContext& context) {
    // Only one instance runs at a time: a second start ends silently, before anything is shown.
    if (!context.platform().instanceLock().acquire(kBundleIdentifier)) return 0;
    if (!context.hasDesktop()) return reportNotBuilt(context, "the desktop for the menu-bar application");
    return runMenuBarApplication(context.platform(), context.desktop(), context.arguments());
}

}  // namespace ampwell
