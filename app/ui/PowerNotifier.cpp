#include "app/ui/PowerNotifier.hpp"
#include "platform/base/Translation.hpp"

namespace ampwell {

std::shared_ptr<PowerNotifier> PowerNotifier::make(platform::NotificationCenter& center,
                                                   platform::MainQueue& mainQueue) {
    return std::shared_ptr<PowerNotifier>(new PowerNotifier(center, mainQueue));
}

PowerNotifier::PowerNotifier(platform::NotificationCenter& center, platform::MainQueue& mainQueue)
    : center_(center), mainQueue_(mainQueue) {}

void PowerNotifier::prepare(std::function<void()> completion) {
    center_.setDelegate(weak_from_this());
    platform::NotificationCategory category{
        kCategoryIdentifier,
        {platform::NotificationAction{kResetActionIdentifier, platform::tr(kResetActionTitle), true},
         platform::NotificationAction{kIgnoreActionIdentifier, platform::tr(kIgnoreActionTitle), false}}};
    center_.setNotificationCategories({std::move(category)});
    auto& center = center_;
    center_.getNotificationSettings([&center, completion = std::move(completion)](platform::NotificationSettings settings) {
        if (settings.authorizationStatus != platform::AuthorizationStatus::notDetermined) {
            completion();
            return;
        }
        // Whatever the answer (granted, refused or failed), preparing is done once it comes.
        center.requestAuthorization(platform::authorizationAlert,
                                    [completion](bool, const std::string&) { completion(); });
    });
}

void PowerNotifier::readAuthorization(std::function<void(bool authorized)> callback) {
    center_.getNotificationSettings([callback = std::move(callback)](platform::NotificationSettings settings) {
        callback(settings.authorizationStatus == platform::AuthorizationStatus::authorized);
    });
}

void PowerNotifier::alert(const std::string& incident, const std::string& message, const std::string& serial,
                          const std::string& connectionID) {
    if (lastIncident_ == incident) return;
    // Remembered before permission is known: an incident raised while notifications are off is
    // never posted later, when they are switched on.
    lastIncident_ = incident;

    platform::NotificationRequest request;
    request.identifier = kRequestIdentifier;
    request.content.title = platform::tr(kTitle);
    request.content.body = message + platform::tr(kBodySuffix);
    request.content.categoryIdentifier = kCategoryIdentifier;
    request.content.userInfo = {{kSerialKey, serial}, {kConnectionKey, connectionID}};
    warningOut_ = true;
    auto& center = center_;
    center_.getNotificationSettings([&center, request = std::move(request)](platform::NotificationSettings settings) {
        if (settings.authorizationStatus != platform::AuthorizationStatus::authorized) return;
        center.add(request);
    });
}

void PowerNotifier::incidentEnded() {
    if (!warningOut_) return;
    warningOut_ = false;
    // The post waits for the settings to be read; the withdrawal goes the same way, so that it
    // cannot overtake a post still on its way.
    auto& center = center_;
    center_.getNotificationSettings(
        [&center](platform::NotificationSettings) { center.removeDeliveredNotifications({kRequestIdentifier}); });
}

void PowerNotifier::didReceive(const platform::NotificationResponse& response, std::function<void()> completion) {
    const auto& info = response.request.content.userInfo;
    if (response.actionIdentifier == kResetActionIdentifier && info.is_object()) {
        const auto serial = info.find(kSerialKey);
        const auto connection = info.find(kConnectionKey);
        if (serial != info.end() && serial->is_string() && connection != info.end() && connection->is_string()) {
            mainQueue_.post([weak = weak_from_this(), serialText = serial->get<std::string>(),
                             connectionText = connection->get<std::string>()] {
                const auto self = weak.lock();
                if (self && self->resetRequested) self->resetRequested(serialText, connectionText);
            });
        }
    }
    // Answered at once: the reset runs later, on the main queue, and may ask the user first.
    completion();
}

void PowerNotifier::willPresent(const platform::NotificationRequest&,
                                std::function<void(unsigned presentationOptions)> completion) {
    completion(platform::presentationBanner | platform::presentationList);
}

}  // namespace ampwell
