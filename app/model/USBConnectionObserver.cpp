#include "app/model/USBConnectionObserver.hpp"

#include "platform/base/Translation.hpp"
#include "platform/registry/RegistryNames.hpp"

namespace ampwell {

USBConnectionObserver::USBConnectionObserver(platform::Registry& registry) : registry_(registry) {}

USBConnectionObserver::~USBConnectionObserver() { stop(); }

bool USBConnectionObserver::start(std::function<void()> onChange) {
    stop();
    notificationPort_ = registry_.createNotificationPort();
    if (!notificationPort_) return false;
    onChange_ = std::move(onChange);
    for (auto event : {platform::MatchingEvent::firstMatch, platform::MatchingEvent::terminate}) {
        auto notification = notificationPort_->addMatchingNotification(
            event, platform::classes::kUSBHostDevice,
            [this](platform::ServiceIterator& iterator) { deliver(iterator); });
        if (notification.result != platform::kResultSuccess || !notification.iterator) {
            notification.iterator.reset();
            stop();
            return false;
        }
        // Draining arms the notification; the devices already attached are not news.
        platform::drain(*notification.iterator);
        iterators_.push_back(std::move(notification.iterator));
    }
    return true;
}

bool USBConnectionObserver::startOrLog(std::function<void()> onChange, platform::SystemLog& log) {
    if (start(std::move(onChange))) return true;
    log.write(platform::tr(kCannotStartLogLine));
    return false;
}

void USBConnectionObserver::deliver(platform::ServiceIterator& iterator) {
    if (!iterator.next()) return;
    platform::drain(iterator);
    // A copy, so that a callback that stops or restarts the observer does not pull the running
    // function out from under itself.
    if (auto callback = onChange_) callback();
}

void USBConnectionObserver::stop() {
    onChange_ = nullptr;
    iterators_.clear();
    notificationPort_.reset();
}

}  // namespace ampwell
