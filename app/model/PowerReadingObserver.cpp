#include "app/model/PowerReadingObserver.hpp"

#include "platform/base/Translation.hpp"
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
    if (!watch(*service)) {
        stop();
        return false;
    }
    return true;
}

bool PowerReadingObserver::startOrAwait(std::function<void()> onChange, std::function<void()> onAppear) {
    stop();
    notificationPort_ = registry_.createNotificationPort();
    if (!notificationPort_) return false;
    onChange_ = std::move(onChange);
    auto notification = notificationPort_->addMatchingNotification(
        platform::MatchingEvent::firstMatch, platform::classes::kSmartBattery,
        [this](platform::ServiceIterator& iterator) { appeared(iterator); });
    if (notification.result != platform::kResultSuccess || !notification.iterator) {
        notification.iterator.reset();
        stop();
        return false;
    }
    // The iterator starts with a power manager already there; draining it arms the notification.
    bool watched = true;
    for (auto& service : platform::drain(*notification.iterator)) watched = watch(*service);
    if (!watched) {
        notification.iterator.reset();
        stop();
        return false;
    }
    // Kept armed even once one is watched: a power manager that goes and comes back may come back
    // as a new entry.
    appearances_ = std::move(notification.iterator);
    onAppear_ = std::move(onAppear);
    return true;
}

bool PowerReadingObserver::watch(const platform::RegistryEntry& service) {
    auto notification = notificationPort_->addInterestNotification(
        service, [this](std::uint32_t messageType) { deliver(messageType); });
    if (notification.result != platform::kResultSuccess || !notification.handle) return false;
    notifier_ = std::move(notification.handle);
    return true;
}

void PowerReadingObserver::appeared(platform::ServiceIterator& iterator) {
    bool watched = false;
    for (auto& service : platform::drain(iterator)) watched = watch(*service);
    // A copy, as in `deliver`.
    if (auto callback = onAppear_; watched && callback) callback();
}

bool PowerReadingObserver::startOrLog(std::function<void()> onChange, platform::SystemLog& log) {
    if (start(std::move(onChange))) return true;
    log.write(platform::tr(kCannotStartLogLine));
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
    onAppear_ = nullptr;
    notifier_.reset();
    appearances_.reset();
    notificationPort_.reset();
}

}  // namespace ampwell
