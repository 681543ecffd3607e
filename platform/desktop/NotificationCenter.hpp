#pragma once

#include <nlohmann/json.hpp>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace ampwell::platform {

// Whether the user lets the application post notifications. The numbers are the platform's own
// values, printed by the notification-status mode.
enum class AuthorizationStatus : int {
    notDetermined = 0,
    denied = 1,
    authorized = 2,
    provisional = 3,
    ephemeral = 4,
};

// "notDetermined", "denied", ...; the names scripts and logs use.
const char* authorizationStatusName(AuthorizationStatus status);

struct NotificationSettings {
    AuthorizationStatus authorizationStatus = AuthorizationStatus::notDetermined;
};

// What may be asked for: bits of a mask.
enum AuthorizationOption : unsigned { authorizationAlert = 1u, authorizationSound = 2u, authorizationBadge = 4u };

// How a notification is shown while the application is frontmost: bits of a mask.
enum PresentationOption : unsigned {
    presentationBanner = 1u,
    presentationList = 2u,
    presentationSound = 4u,
    presentationBadge = 8u,
};

struct NotificationAction {
    std::string identifier;
    std::string title;
    bool foreground = false;  // choosing it brings the application to the front
};

struct NotificationCategory {
    std::string identifier;
    std::vector<NotificationAction> actions;  // in the order shown
};

struct NotificationContent {
    std::string title;
    std::string body;
    std::string categoryIdentifier;
    // A JSON object; values are whatever the poster stored (the reader checks their kinds).
    nlohmann::json userInfo = nlohmann::json::object();
};

// A request without a trigger: delivered at once. A new request with the identifier of an
// earlier one replaces it.
struct NotificationRequest {
    std::string identifier;
    NotificationContent content;
};

// The action identifier of a click on the notification's body, and of its dismissal.
inline constexpr const char* kDefaultActionIdentifier = "default";
inline constexpr const char* kDismissActionIdentifier = "dismiss";

struct NotificationResponse {
    NotificationRequest request;   // the notification responded to, as it was posted
    std::string actionIdentifier;  // an action of its category, or one of the two above
};

// Receives the user's answers and decides foreground presentation. Both calls arrive on a
// platform thread (never the main thread); each must call its completion exactly once.
class NotificationCenterDelegate {
public:
    virtual ~NotificationCenterDelegate() = default;
    virtual void didReceive(const NotificationResponse& response, std::function<void()> completion) = 0;
    virtual void willPresent(const NotificationRequest& request,
                             std::function<void(unsigned presentationOptions)> completion) = 0;
};

// The process's user-notification centre. Every call may be made from any thread and returns at
// once; completions run later on a platform thread, never inside the call.
class NotificationCenter {
public:
    virtual ~NotificationCenter() = default;

    // Held weakly; a centre whose delegate is gone completes responses itself and presents with
    // no options.
    virtual void setDelegate(std::weak_ptr<NotificationCenterDelegate> delegate) = 0;
    // Replaces every registered category.
    virtual void setNotificationCategories(std::vector<NotificationCategory> categories) = 0;
    // Reads the current settings. The completion may never run when the service does not answer.
    virtual void getNotificationSettings(std::function<void(NotificationSettings)> completion) = 0;
    // Asks the user (once per installation; later asks answer from the stored decision). The
    // completion gets whether it was granted and an error text (empty when none).
    virtual void requestAuthorization(unsigned options,
                                      std::function<void(bool granted, std::string error)> completion) = 0;
    // Posts the request; failures are not reported.
    virtual void add(NotificationRequest request) = 0;
    // Takes the shown notifications with these request identifiers off the screen (those that
    // are gone already are skipped); they can no longer be answered.
    virtual void removeDeliveredNotifications(std::vector<std::string> identifiers) = 0;
};

}  // namespace ampwell::platform
