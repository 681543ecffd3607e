#include "app/ui/AppDelegate.hpp"
#include "platform/base/Translation.hpp"

namespace ampwell {

namespace {
constexpr const char* kNotificationItemInitialTitle = platform::trMarked("供电不足通知：查询权限中");
constexpr double kStatusFontSize = 11;
}  // namespace

std::shared_ptr<AppDelegate> AppDelegate::make(AppDelegateServices services) {
    return std::shared_ptr<AppDelegate>(new AppDelegate(std::move(services)));
}

AppDelegate::AppDelegate(AppDelegateServices services)
    : clock_(services.clock),
      mainQueue_(services.mainQueue),
      defaults_(services.defaults),
      systemLog_(services.systemLog),
      desktop_(services.desktop),
      bootIdentity_(std::move(services.bootTimeSeconds)),
      telemetry_(services.registry, services.clock, bootIdentity_),
      resetter_(services.registry, services.usbHost),
      readBatteries_(std::move(services.readBatteries)),
      refreshed_(std::move(services.refreshed)),
      menu_(std::make_shared<platform::Menu>()),
      connectionObserver_(services.registry),
      powerObserver_(services.registry),
      systemPowerRefresher_(std::move(services.systemPowerRefresher)),
      chargeMonitor_(services.defaults),
      notifier_(PowerNotifier::make(services.desktop.notificationCenter(), services.mainQueue)),
      batteryQueue_(kBatteryQueueLabel, services.clock),
      resetMenu_(std::make_shared<platform::Menu>()),
      overview_(std::make_unique<PowerOverviewView>()),
      footnote_(std::make_unique<PowerFootnoteView>()),
      portSectionEnd_(platform::MenuItem::separator()),
      notificationItem_(std::make_shared<platform::MenuItem>(platform::tr(kNotificationItemInitialTitle))),
      activeSamplingItem_(std::make_shared<platform::MenuItem>(platform::tr(kActiveSamplingItemTitle))),
      mode_(platform::stringDefault(services.defaults, kModeKey).value_or("icon")),
      resetQueue_(kResetQueueLabel, services.clock) {
    if (const auto path = SamplingTrace::pathFromArguments(services.arguments)) samplingTrace_ = SamplingTrace::open(*path);
    menu_->setIdentifier("main");
    resetMenu_->setIdentifier("reset");
}

AppDelegate::~AppDelegate() {
    // Whatever the shutdown sequence did not get to (a controller dropped without terminating)
    // must not call back into a destroyed object.
    if (timer_) timer_->invalidate();
    if (connectionRefresh_) connectionRefresh_->cancel();
    if (powerRefresh_) powerRefresh_->cancel();
    if (activeRefreshWork_) activeRefreshWork_->cancel();
}

void AppDelegate::applicationDidFinishLaunching() {
    // 1–2: the status item exists from the start but shows nothing until a device is attached.
    statusItem_ = desktop_.statusBar().statusItem(compactItemWidth_);
    {
        platform::StatusItem::Changes changes(*statusItem_);
        statusItem_->setVisible(false);
        statusItem_->setImage(icons().at(IndicatorState::unavailable));
        statusItem_->setImagePosition(platform::ImagePosition::imageOnly);
        statusItem_->setImageScaling(platform::ImageScaling::none);
        statusItem_->setFont({platform::FontRole::monospacedDigit, kStatusFontSize, platform::FontWeight::regular});
        // 3.
        statusItem_->setMenu(menu_);
    }
    menu_->setDelegate(weakSelf());
    menu_->setAutoenablesItems(false);
    menu_->setMinimumWidth(360);

    // 4.
    buildMenu();
    if (samplingTrace_) {
        overview_->onPowerRendered = traceHook("overview-draw", std::nullopt);
        footnote_->onRendered = traceHook("footnote-draw", std::nullopt);
    }

    // 5.
    notifier_->resetRequested = [weak = weakSelf()](const std::string& serial, const std::string& connectionID) {
        if (const auto self = weak.lock()) self->performReset(serial, connectionID);
    };

    // 6.
    systemPowerRefresher_->setDidCompleteRequest([weak = weakSelf()] {
        if (const auto self = weak.lock()) {
            self->updateActiveSamplingItem();
            self->configurePollingTimer(true);
        }
    });

    // 7.
    notifier_->prepare([weak = weakSelf(), &queue = mainQueue_] {
        queue.post([weak] {
            if (const auto self = weak.lock()) self->refreshNotificationStatus();
        });
    });

    // 8–9: without an observer the polling timer still notices every change, only later.
    connectionObserver_.startOrLog(
        [weak = weakSelf()] {
            if (const auto self = weak.lock()) self->usbConnectionsChanged();
        },
        systemLog_);
    // A power manager that only appears later (a Type-C driver that comes up after the program)
    // is watched from then on. Its ports come with it, so the devices on them are looked at
    // again as after a plug event.
    const bool watchingPower = powerObserver_.startOrAwait(
        [weak = weakSelf()] {
            if (const auto self = weak.lock()) self->powerReadingsChanged();
        },
        [weak = weakSelf()] {
            if (const auto self = weak.lock()) self->usbConnectionsChanged();
        });
    if (!watchingPower) systemLog_.write(platform::tr(PowerReadingObserver::kCannotStartLogLine));

    // 10.
    refresh(true, false, std::nullopt, "launch");
}

void AppDelegate::applicationWillTerminate() {
    if (terminated_) return;
    terminated_ = true;
    if (connectionRefresh_) connectionRefresh_->cancel();
    if (powerRefresh_) powerRefresh_->cancel();
    if (activeRefreshWork_) activeRefreshWork_->cancel();
    systemPowerRefresher_->cancel();
    connectionObserver_.stop();
    powerObserver_.stop();
    if (timer_) timer_->invalidate();
    samplingTrace_.reset();
}

const std::unordered_map<IndicatorState, std::shared_ptr<const platform::Image>>& AppDelegate::icons() {
    if (!icons_) {
        icons_.emplace();
        for (const IndicatorState state : IndicatorState::allCases) icons_->emplace(state, indicatorIcon(state));
    }
    return *icons_;
}

}  // namespace ampwell
