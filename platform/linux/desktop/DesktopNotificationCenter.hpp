#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/SerialQueue.hpp"
#include "platform/desktop/NotificationCenter.hpp"
#include "platform/linux/desktop/DesktopNotifications.hpp"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

typedef struct _GMainContext GMainContext;

namespace ampwell::platform::linux_ {

// The notification centre over the desktop's notification service. Calls may come from any
// thread; they are carried over to the GLib main context, where the service is spoken to. The
// permission is what the service can do (see NotificationPermission): there is no question to ask the
// user, so asking answers with the same permission. A request's buttons are the actions of its
// category; a request with buttons waits on screen for its answer (see DesktopNotification), and
// where the service cannot show buttons its body says where the same actions are found. A request
// with the identifier of an earlier one replaces it on screen. The user's
// answers go to the delegate on a thread of their own, as the seam promises.
class DesktopNotificationCenter final : public NotificationCenter {
public:
    DesktopNotificationCenter(GDBusConnection* connection, GMainContext* context, const Clock& clock);
    ~DesktopNotificationCenter() override;

    void setDelegate(std::weak_ptr<NotificationCenterDelegate> delegate) override;
    void setNotificationCategories(std::vector<NotificationCategory> categories) override;
    void getNotificationSettings(std::function<void(NotificationSettings)> completion) override;
    void requestAuthorization(unsigned options, std::function<void(bool granted, std::string error)> completion) override;
    void add(NotificationRequest request) override;
    void removeDeliveredNotifications(std::vector<std::string> identifiers) override;

    static AuthorizationStatus statusFor(NotificationPermission permission);

private:
    void onMain(std::function<void()> work);
    void respond(const std::string& action, const std::map<std::string, std::string>& userInfo);

    GMainContext* context_;
    std::unique_ptr<DesktopNotifications> client_;  // main context only
    SerialQueue callbacks_;  // where completions and the delegate run
    std::mutex mutex_;
    std::weak_ptr<NotificationCenterDelegate> delegate_;
    std::vector<NotificationCategory> categories_;
    std::map<std::string, NotificationRequest> requests_;  // main context only, by identifier
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ampwell::platform::linux_
