#include "app/model/PowerReadingObserver.hpp"

#include "platform/registry/RegistryNames.hpp"

namespace ampwell {

PowerReadingObserver::PowerReadingObserver(platform::Registry& registry) : registry_(registry) {}

PowerReadingObserver::~PowerReadingObserver() { stop(); }

bool PowerReadingObserver::start(std::function<void()> onChange) {
    stop();
    // The service handle is released on every path when it goes out of scope.
    auto service = registry_.firstMatchingService(platform::classes::kSmartBattery);
    if (!service) return false;
    notificationPort_ = registry_.createNotificationPort();
    if (!notificationPort_) return false;
    onChange_ = std::move(onChange);
    auto notification = notificationPort_->addInterestNotification(
        *service, [this](std::uint32_t messageType) { deliver(messageType); });
    if (notification.result != platform::kResultSuccess || !notification.handle) {
        stop();
        return false;
    }
    notifier_ = std::move(notification.handle);
    return true;
}

bool PowerReadingObserver::startOrLog(std::function<void()> onChange, platform::SystemLog& log) {
    if (start(std::move(onChange))) return true;
    log.write(kCannotStartLogLine);
    return false;
}

void PowerReadingObserver::deliver(std::uint32_t messageType) {
    if (messageType != kBatteryStatusChangedMessage) return;
    // A copy, so that a callback that stops or restarts the observer does not pull the running
    // function out from under itself.
    if (auto callback = onChange_) callback();
}

void PowerReadingObserver::stop() {
    onChange_ = nullptr;
    notifier_.reset();
    notificationPort_.reset();
}

}  // namespace ampwell
