#include "app/entry/ApplicationLaunch.hpp"
#include "platform/base/Translation.hpp"

#include "app/batteries/DeviceBatteryReader.hpp"
#include "app/entry/FirstRunNote.hpp"
#include "app/entry/Modes.hpp"
#include "app/history/HistoryChanges.hpp"
#include "app/history/HistoryChart.hpp"
#include "app/history/HistoryRecorder.hpp"
#include "app/history/HistoryStore.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "app/refresh/SystemPowerRefresher.hpp"
#include "platform/base/TerminationSignals.hpp"

#include <algorithm>
#include <ostream>
#include <utility>

namespace ampwell {
namespace {

// The entry that opens the history, and the title of its window.
constexpr const char* kHistoryTitle = platform::trMarked("历史");

// The chart of the last `span` up to now, read afresh each time it is asked for: what the
// recorder still holds is written first, so the chart ends at the latest refresh.
platform::HistoryOffer historyOffer(std::shared_ptr<HistoryRecorder> recorder, const platform::Clock& clock,
                                    platform::SystemLog& log) {
    platform::HistoryOffer offer;
    offer.title = platform::tr(kHistoryTitle);
    for (const auto& span : kHistorySpans) offer.spans.emplace_back(platform::tr(span.title));
    offer.chart = [recorder, &clock, &log](std::size_t span, double width) {
        recorder->drain();
        const platform::Date to = clock.now();
        const platform::Date from = to - kHistorySpans.at(std::min(span, kHistorySpans.size() - 1)).length;
        HistoryStore store(HistoryStoreOptions{recorder->path()}, log);
        auto devices = std::make_shared<std::vector<ChartDevice>>(
            chartDevices(store.read(from - HistoryChanges::kHeartbeat, to), from, to));
        const platform::Size size = historyChartSize(devices->size(), width);
        return platform::HistoryPicture{size, [devices, size, from, to](platform::Canvas& canvas) {
                                            drawHistoryChart(canvas, size, *devices, from, to);
                                        }};
    };
    return offer;
}

}  // namespace

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
      bootTimeSeconds([&platform] { return platform.bootTimeSeconds(); }),
      historyPath(platform.historyPath()) {}

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
    // The history is written from every refresh the controller makes; the recorder lives as long
    // as the controller holds the callback (and the desktop the offer), and writes what is pending
    // when it goes.
    std::shared_ptr<HistoryRecorder> recorder;
    std::function<void(const Snapshot&, double)> recordRefresh;
    if (seams.historyPath) {
        recorder = std::make_shared<HistoryRecorder>(HistoryStoreOptions{*seams.historyPath}, seams.clock.get(),
                                                     seams.systemLog.get());
        recordRefresh = [recorder](const Snapshot& snapshot, double thresholdWatts) {
            recorder->record(snapshot, thresholdWatts);
        };
        desktop.offerHistory(historyOffer(recorder, seams.clock.get(), seams.systemLog.get()));
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
        std::move(recordRefresh),
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
    // A session that ends, or a Ctrl-C, quits the way the menu's quit does: the history writes
    // what it still holds.
    auto& application = desktop.application();
    const platform::TerminationSignals signals(
        [&platform, &application](int) { platform.mainQueue().post([&application] { application.terminate(); }); });
    return application.run();
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
