#include "app/entry/ApplicationLaunch.hpp"

#include "app/batteries/DeviceBatteryReader.hpp"
#include "app/entry/Modes.hpp"
#include "app/refresh/SystemPowerRefresher.hpp"
#include "app/ui/AppDelegate.hpp"

namespace ampwell {

int runMenuBarApplication(platform::Platform& platform, platform::Desktop& desktop,
                          const std::vector<std::string>& arguments) {
    auto controller = AppDelegate::make({
        platform.clock(),
        platform.mainQueue(),
        platform.registry(),
        platform.defaults(),
        platform.systemLog(),
        platform.usbHost(),
        desktop,
        [&platform] { return platform.bootTimeSeconds(); },
        [&platform] { return DeviceBatteryReader::readAll(platform); },
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
