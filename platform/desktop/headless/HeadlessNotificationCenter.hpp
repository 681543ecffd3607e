#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/EventStream.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/base/SerialQueue.hpp"
#include "platform/desktop/NotificationCenter.hpp"

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace ampwell::platform::headless {

// The notification centre of the scripted user. The authorisation starts as the script says; the
// first request while it is "notDetermined" settles it to the scripted answer and tells an
// "authorization-request" event ("status"); later requests answer from that decision. A posted
// request is shown only while notifications are allowed (any status but "notDetermined" and
// "denied"): it tells a "notification" event ("identifier", "title", "body", "category",
// "userInfo", and "actions", the titles of its category's actions) and becomes the one that
// respond() answers. Completions and delegate calls run on a thread of the centre's own, never on
// the main thread; events reach the stream on the main thread.
class HeadlessNotificationCenter final : public NotificationCenter {
public:
    HeadlessNotificationCenter(EventStream& events, MainQueue& mainQueue, const Clock& clock,
                               AuthorizationStatus status, bool requestGrants);

    void setDelegate(std::weak_ptr<NotificationCenterDelegate> delegate) override;
    void setNotificationCategories(std::vector<NotificationCategory> categories) override;
    void getNotificationSettings(std::function<void(NotificationSettings)> completion) override;
    void requestAuthorization(unsigned options, std::function<void(bool granted, std::string error)> completion) override;
    void add(NotificationRequest request) override;
    // Withdrawing the last shown notification tells a "notification-removed" event
    // ("identifier"); respond() then finds none.
    void removeDeliveredNotifications(std::vector<std::string> identifiers) override;

    // The user answers the last shown notification with `actionIdentifier` (an action of its
    // category, kDefaultActionIdentifier for a click on its body). Tells a "notification-response"
    // event and hands the response to the delegate. False, and nothing else, when no notification
    // was shown. Main thread.
    bool respond(const std::string& actionIdentifier);

    AuthorizationStatus status() const;

private:
    // Straight to the stream on the main thread, through the main queue from any other.
    void tell(const std::string& event, nlohmann::json fields);

    EventStream& events_;
    MainQueue& mainQueue_;
    const std::thread::id mainThread_;
    const bool requestGrants_;
    mutable std::mutex mutex_;
    AuthorizationStatus status_;                           // guarded
    std::vector<NotificationCategory> categories_;          // guarded
    std::optional<NotificationRequest> lastShown_;          // guarded
    std::weak_ptr<NotificationCenterDelegate> delegate_;    // guarded
    SerialQueue callbacks_;  // last: its jobs use everything above
};

}  // namespace ampwell::platform::headless
