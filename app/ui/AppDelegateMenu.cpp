#include "app/ui/AppDelegate.hpp"

#include "app/ui/MenuText.hpp"
#include "platform/base/Translation.hpp"

#include <cmath>
#include <utility>

namespace ampwell {

namespace {

constexpr const char* kActiveSamplingToolTip = platform::trMarked("查看功率或连接设备时及时更新，收起后减少后台活动。");

struct DisplayChoice {
    const char* title;
    const char* value;
};
constexpr DisplayChoice kDisplayChoices[] = {
    {platform::trMarked("仅小图标 · iPad 状态"), "icon"},
    {platform::trMarked("iPad 功率"), "ipad"},
    {platform::trMarked("所有接口合计"), "total"},
    {platform::trMarked("接口 1"), "port1"},
    {platform::trMarked("接口 2"), "port2"},
    {platform::trMarked("接口 3"), "port3"},
};
constexpr double kThresholdChoices[] = {5.0, 10.0, 15.0};

std::shared_ptr<platform::Menu> manualMenu() {
    auto menu = std::make_shared<platform::Menu>();
    menu->setAutoenablesItems(false);
    return menu;
}

}  // namespace

std::string AppDelegate::format(std::optional<double> value, int digits, const std::string& unit) {
    return formatMeasurement(value, digits, unit);
}

double AppDelegate::threshold() const {
    const auto stored = platform::numberDefault(defaults_, kThresholdKey);
    if (stored && std::isfinite(*stored) && *stored > 0) return *stored;
    return kDefaultThreshold;
}

std::shared_ptr<platform::MenuItem> AppDelegate::actionItem(const std::string& title, void (AppDelegate::*action)(),
                                                            const std::string& key, const std::string& symbol) {
    auto item = std::make_shared<platform::MenuItem>(title, [weak = weakSelf(), action](platform::MenuItem&) {
        if (const auto self = weak.lock()) ((*self).*action)();
    }, key);
    item->setTarget(weak_from_this());
    item->setSymbolName(symbol);
    return item;
}

void AppDelegate::buildMenu() {
    auto overviewItem = std::make_shared<platform::MenuItem>();
    overviewItem->setView(overview_.get());
    menu_->addItem(overviewItem);
    menu_->addItem(portSectionEnd_);
    auto footnoteItem = std::make_shared<platform::MenuItem>();
    footnoteItem->setView(footnote_.get());
    menu_->addItem(footnoteItem);
    menu_->addItem(platform::MenuItem::separator());

    menu_->addItem(actionItem(platform::tr("立即刷新"), &AppDelegate::manualRefresh, "r", "arrow.clockwise"));

    auto preferences = std::make_shared<platform::MenuItem>(platform::tr("偏好设置"));
    preferences->setSymbolName("slider.horizontal.3");
    preferences->setSubmenu(buildPreferencesMenu());
    menu_->addItem(preferences);

    resetMenu_->setAutoenablesItems(false);
    resetMenu_->setDelegate(weakSelf());
    auto reading = std::make_shared<platform::MenuItem>(platform::tr("正在读取设备…"));
    reading->setEnabled(false);
    resetMenu_->addItem(reading);
    auto reset = std::make_shared<platform::MenuItem>(platform::tr("重置 USB 连接…"));
    reset->setSymbolName("cable.connector");
    reset->setSubmenu(resetMenu_);
    menu_->addItem(reset);

    menu_->addItem(actionItem(platform::tr("关于读数"), &AppDelegate::showInfo, "", "info.circle"));
    menu_->addItem(platform::MenuItem::separator());
    menu_->addItem(actionItem(platform::tr("退出 Ampwell"), &AppDelegate::quit, "q", "power"));
}

std::shared_ptr<platform::Menu> AppDelegate::buildPreferencesMenu() {
    auto preferences = manualMenu();

    auto displayMenu = manualMenu();
    for (const auto& choice : kDisplayChoices) {
        auto item = std::make_shared<platform::MenuItem>(platform::tr(choice.title),
                                                         [weak = weakSelf()](platform::MenuItem& sender) {
                                                             if (const auto self = weak.lock())
                                                                 self->changeDisplay(sender);
                                                         });
        item->setTarget(weak_from_this());
        item->setRepresentedObject(std::string(choice.value));
        displayMenu->addItem(item);
        displayChoices_.push_back(item);
    }
    auto display = std::make_shared<platform::MenuItem>(platform::tr("菜单栏显示"));
    display->setSubmenu(displayMenu);
    preferences->addItem(display);

    auto thresholdMenu = manualMenu();
    for (const double watts : kThresholdChoices) {
        auto item = std::make_shared<platform::MenuItem>(truncatedWatts(watts) + " W",
                                                         [weak = weakSelf()](platform::MenuItem& sender) {
                                                             if (const auto self = weak.lock()) self->changeThreshold(sender);
                                                         });
        item->setTarget(weak_from_this());
        item->setRepresentedObject(watts);
        thresholdMenu->addItem(item);
        thresholdChoices_.push_back(item);
    }
    auto boundary = std::make_shared<platform::MenuItem>(platform::tr("低功率分界"));
    boundary->setSubmenu(thresholdMenu);
    preferences->addItem(boundary);

    preferences->addItem(platform::MenuItem::separator());

    activeSamplingItem_->setAction([weak = weakSelf()](platform::MenuItem&) {
        if (const auto self = weak.lock()) self->toggleActiveSampling();
    });
    activeSamplingItem_->setTarget(weak_from_this());
    activeSamplingItem_->setToolTip(platform::tr(kActiveSamplingToolTip));
    preferences->addItem(activeSamplingItem_);
    updateActiveSamplingItem();

    notificationItem_->setEnabled(false);
    preferences->addItem(notificationItem_);
    return preferences;
}

void AppDelegate::menuWillOpen(platform::Menu& menu) {
    if (&menu == resetMenu_.get()) {
        rebuildResetMenu();
        return;
    }
    if (&menu != menu_.get()) return;
    mainMenuIsOpen_ = true;
    systemPowerRefresher_->reloadAvailability();
    updateActiveSamplingItem();
    refreshNotificationStatus();
    refresh(false, false, std::nullopt, "menu-open");
    startActiveRefresh(connectedPortNumbers(), "menu", 0);
}

void AppDelegate::rebuildResetMenu() {
    resetMenu_->removeAllItems();
    const std::vector<USBResetTarget> targets = resetter_.availableTargets();
    if (targets.empty()) {
        auto none = std::make_shared<platform::MenuItem>(platform::tr("暂无可重置的 USB 设备"));
        none->setEnabled(false);
        resetMenu_->addItem(none);
        return;
    }
    for (const auto& target : targets) {
        auto item = std::make_shared<platform::MenuItem>(resetItemTitle(target, targets),
                                                         [weak = weakSelf()](platform::MenuItem& sender) {
                                                             if (const auto self = weak.lock()) self->confirmReset(sender);
                                                         });
        item->setTarget(weak_from_this());
        item->setRepresentedObject(target);
        resetMenu_->addItem(item);
    }
}

void AppDelegate::menuDidClose(platform::Menu& menu) {
    if (&menu != menu_.get()) return;
    mainMenuIsOpen_ = false;
    cadence_.menuClosed();
    if (activeRefreshReason_ == "menu") {
        ++activeRefreshGeneration_;
        if (activeRefreshWork_) {
            activeRefreshWork_->cancel();
            activeRefreshWork_.reset();
        }
        activeRefreshReason_.reset();
        systemPowerRefresher_->cancel();
    }
    refresh(false, false, std::nullopt, "menu-close");
    if (!cadence_.isFast(clock_.now())) return;
    std::set<int> unread;
    for (const auto& reading : snapshot_.connectedPorts())
        if (!reading.watts) unread.insert(reading.port);
    if (!unread.empty()) startActiveRefresh(unread, "connection", 0.2);
}

void AppDelegate::changeDisplay(platform::MenuItem& sender) {
    const auto* value = std::any_cast<std::string>(&sender.representedObject());
    if (!value) return;
    mode_ = *value;
    defaults_.set(kModeKey, platform::PropertyValue::string(mode_));
    refresh(false, false, std::nullopt, "update");
}

void AppDelegate::changeThreshold(platform::MenuItem& sender) {
    const auto* value = std::any_cast<double>(&sender.representedObject());
    if (!value || !(*value > 0)) return;
    defaults_.set(kThresholdKey, platform::PropertyValue::realNumber(*value));
    refresh(false, false, std::nullopt, "update");
}

void AppDelegate::showInfo() { runAlert({"Ampwell", aboutInformativeText(threshold()), {platform::tr("知道了")}}); }

void AppDelegate::quit() { desktop_.application().terminate(); }

void AppDelegate::updateActiveSamplingItem() {
    const bool installed = systemPowerRefresher_->isInstalled();
    activeSamplingItem_->setEnabled(installed);
    activeSamplingItem_->setState(installed && systemPowerRefresher_->isEnabled() ? platform::CheckState::on
                                                                                 : platform::CheckState::off);
    if (!installed)
        activeSamplingItem_->setTitle(platform::tr("及时更新功率：组件未安装"));
    else if (systemPowerRefresher_->lastRequestFailed())
        activeSamplingItem_->setTitle(platform::tr("及时更新功率（暂不可用）"));
    else
        activeSamplingItem_->setTitle(platform::tr(kActiveSamplingItemTitle));
}

void AppDelegate::refreshNotificationStatus() {
    const std::uint64_t request = ++notificationStatusRequest_;
    notifier_->readAuthorization([weak = weakSelf(), &queue = mainQueue_, request](bool authorized) {
        queue.post([weak, request, authorized] {
            const auto self = weak.lock();
            // Only the newest answer is shown; an older one that arrives late is dropped.
            if (!self || self->notificationStatusRequest_ != request) return;
            self->notificationItem_->setTitle(authorized ? platform::tr("供电不足通知：已开启")
                                                         : platform::tr("供电不足通知：未获授权"));
        });
    });
}

std::string AppDelegate::batteryDescription(const PortReading& port) const {
    std::string result;
    for (const auto& device : port.connections) {
        const auto battery = freshBattery(device);
        if (!battery || !battery->percent) continue;
        std::string entry;
        if (port.connections.size() > 1) entry += device.name + " ";
        entry += std::to_string(*battery->percent) + "% · ";
        entry += !battery->isCharging ? platform::tr("充电状态未知")
                                      : (*battery->isCharging ? platform::tr("充电中") : platform::tr("未充电"));
        result += (result.empty() ? "" : platform::tr("；")) + entry;
    }
    if (!result.empty()) return result;
    if (port.connections.size() == 1 && port.reportedBatteryPercent)
        return std::to_string(*port.reportedBatteryPercent) + "% · " + platform::tr("充电状态未提供");
    return platform::tr("电量未提供");
}

void AppDelegate::runAlert(platform::Alert alert, platform::AlertPresenter::Answered answered) {
    desktop_.application().activate();
    desktop_.alerts().present(alert, std::move(answered));
}

}  // namespace ampwell
