#include "platform/desktop/headless/HeadlessNotificationCenter.hpp"

namespace ampwell::platform::headless {
namespace {

bool allowsNotifications(AuthorizationStatus status) {
    return status != AuthorizationStatus::notDetermined && status != AuthorizationStatus::denied;
}

}  // namespace

HeadlessNotificationCenter::HeadlessNotificationCenter(EventStream& events, MainQueue& mainQueue, const Clock& clock,
                                                       AuthorizationStatus status, bool requestGrants)
    : events_(events),
      mainQueue_(mainQueue),
      mainThread_(std::this_thread::get_id()),
      requestGrants_(requestGrants),
      status_(status),
      callbacks_("local.ampwell.headless-notifications", clock) {}

void HeadlessNotificationCenter::tell(const std::string& event, nlohmann::json fields) {
    if (std::this_thread::get_id() == mainThread_) {
        events_.emit(event, fields);
        return;
    }
    mainQueue_.post([this, event, fields = std::move(fields)] { events_.emit(event, fields); });
}

void HeadlessNotificationCenter::setDelegate(std::weak_ptr<NotificationCenterDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

void HeadlessNotificationCenter::setNotificationCategories(std::vector<NotificationCategory> categories) {
    std::lock_guard lock(mutex_);
    categories_ = std::move(categories);
}

AuthorizationStatus HeadlessNotificationCenter::status() const {
    std::lock_guard lock(mutex_);
    return status_;
}

void HeadlessNotificationCenter::getNotificationSettings(std::function<void(NotificationSettings)> completion) {
    const NotificationSettings settings{status()};
    callbacks_.async([completion = std::move(completion), settings] {
        if (completion) completion(settings);
    });
}

void HeadlessNotificationCenter::requestAuthorization(unsigned options,
                                                      std::function<void(bool, std::string)> completion) {
    bool asked = false;
    AuthorizationStatus decided;
    {
        std::lock_guard lock(mutex_);
        if (status_ == AuthorizationStatus::notDetermined) {
            status_ = requestGrants_ ? AuthorizationStatus::authorized : AuthorizationStatus::denied;
            asked = true;
        }
        decided = status_;
    }
    if (asked) {
        nlohmann::json asking = nlohmann::json::array();
        if (options & authorizationAlert) asking.push_back("alert");
        if (options & authorizationSound) asking.push_back("sound");
        if (options & authorizationBadge) asking.push_back("badge");
        tell("authorization-request", {{"options", asking}, {"status", authorizationStatusName(decided)}});
    }
    callbacks_.async([completion = std::move(completion), decided] {
        if (completion) completion(decided == AuthorizationStatus::authorized, std::string());
    });
}

void HeadlessNotificationCenter::removeDeliveredNotifications(std::vector<std::string> identifiers) {
    std::string removed;
    {
        std::lock_guard lock(mutex_);
        if (!lastShown_) return;
        for (const auto& identifier : identifiers)
            if (identifier == lastShown_->identifier) removed = identifier;
        if (removed.empty()) return;
        lastShown_.reset();
    }
    tell("notification-removed", {{"identifier", removed}});
}

void HeadlessNotificationCenter::add(NotificationRequest request) {
    nlohmann::json actions = nlohmann::json::array();
    {
        std::lock_guard lock(mutex_);
        if (!allowsNotifications(status_)) return;
        for (const auto& category : categories_)
            if (category.identifier == request.content.categoryIdentifier)
                for (const auto& action : category.actions) actions.push_back(action.title);
        lastShown_ = request;
    }
    tell("notification", {{"identifier", request.identifier},
                          {"title", request.content.title},
                          {"body", request.content.body},
                          {"category", request.content.categoryIdentifier},
                          {"userInfo", request.content.userInfo},
                          {"actions", actions}});
}

bool HeadlessNotificationCenter::respond(const std::string& actionIdentifier) {
    NotificationResponse response;
    {
        std::lock_guard lock(mutex_);
        if (!lastShown_) return false;
        response = NotificationResponse{*lastShown_, actionIdentifier};
    }
    tell("notification-response", {{"identifier", response.request.identifier}, {"action", actionIdentifier}});
    callbacks_.async([this, response = std::move(response)] {
        std::shared_ptr<NotificationCenterDelegate> delegate;
        {
            std::lock_guard lock(mutex_);
            delegate = delegate_.lock();
        }
        if (delegate) delegate->didReceive(response, [] {});
    });
    return true;
}

}  // namespace ampwell::platform::headless
