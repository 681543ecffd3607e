#include "app/entry/ApplicationLaunch.hpp"

#include "app/batteries/DeviceBatteryReader.hpp"
#include "app/entry/FirstRunNote.hpp"
#include "app/entry/Modes.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "app/refresh/SystemPowerRefresher.hpp"

#include <ostream>
#include <utility>

namespace ampwell {

ApplicationSeams::ApplicationSeams(platform::Platform& platform)
    : clock(platform.clock()),
      mainQueue(platform.mainQueue()),
      registry(platform.registry()),
      mobileDevices(platform.mobileDevices()),
      defaults(platform.defaults()),
      systemLog(platform.systemLog()),
      usbHost(platform.usbHost()),
      refreshConnector(platform.refreshConnector()),
      refreshInstallation(platform.refreshInstallation()),
      bootTimeSeconds([&platform] { return platform.bootTimeSeconds(); }) {}

std::shared_ptr<AppDelegate> wireMenuBarApplication(ApplicationSeams seams, platform::Desktop& desktop,
                                                    std::vector<std::string> arguments) {
    auto readBatteries = std::move(seams.readBatteries);
    if (!readBatteries) {
        // The controller owns the battery reader through the read it is handed, for its whole run.
        auto batteryReader = std::make_shared<DeviceBatteryReader>(seams.mobileDevices, seams.registry, seams.clock);
        readBatteries = [batteryReader](const std::set<std::string>& accountSerials) {
            return batteryReader->readAll(accountSerials);
        };
    }
    auto controller = AppDelegate::make({
        seams.clock,
        seams.mainQueue,
        seams.registry,
        seams.defaults,
        seams.systemLog,
        seams.usbHost,
        desktop,
        std::move(seams.bootTimeSeconds),
        std::move(readBatteries),
        std::make_unique<SystemPowerRefresher>(seams.refreshConnector, seams.defaults, seams.mainQueue, seams.clock,
                                               std::move(seams.refreshInstallation)),
        std::move(arguments),
    });
    auto& application = desktop.application();
    application.setDelegate(controller);
    application.setActivationPolicy(platform::ActivationPolicy::accessory);
    return controller;
}

int runMenuBarApplication(platform::Platform& platform, platform::Desktop& desktop,
                          const std::vector<std::string>& arguments) {
    // Held here until the run ends: the application holds its delegate weakly.
    const auto controller = wireMenuBarApplication(ApplicationSeams(platform), desktop, arguments);
    return desktop.application().run();
}

int runApplication(ModeContext& context) {
    // Only one instance runs at a time: a second start ends silently, before anything is shown.
    if (!context.platform().instanceLock().acquire(kBundleIdentifier)) return 0;
    if (!context.hasDesktop()) return reportNotBuilt(context, "the desktop for the menu-bar application");
    platform::Platform& platform = context.platform();
    if (!platform.isSimulated()) {
        // A first run on a computer with nothing attached would otherwise sit silent, no icon shown.
        const BootIdentity bootIdentity([&platform] { return platform.bootTimeSeconds(); });
        const auto note = firstRunNote(Telemetry(platform.registry(), platform.clock(), bootIdentity).read());
        if (note) context.err() << *note << std::flush;
    }
    return runMenuBarApplication(context.platform(), context.desktop(), context.arguments());
}

}  // namespace ampwell
