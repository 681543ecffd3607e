#include "platform/linux/desktop/DesktopNotificationCenter.hpp"
#include "platform/base/Translation.hpp"

#include <glib.h>

namespace ampwell::platform::linux_ {

namespace {
// The user info travels with the service only as the request's identifier; the request itself
// stays here, so the delegate gets back exactly what was posted.
constexpr const char* kRequestKey = "request";
// Services without buttons (notify-osd and the like) show the warning without its reset.
constexpr const char* kNoActionsNote = platform::trMarked("此通知服务不能显示按钮，可从 Ampwell 的菜单完成同样的操作。");
}  // namespace

DesktopNotificationCenter::DesktopNotificationCenter(GDBusConnection* connection, GMainContext* context,
                                                     const Clock& clock)
    : context_(context),
      client_(std::make_unique<DesktopNotifications>(connection, "Ampwell", "ampwell", "ampwell")),
      callbacks_("local.ampwell.notifications", clock) {
    client_->onAction = [this](const std::string& action, const std::map<std::string, std::string>& info) {
        respond(action, info);
    };
}

DesktopNotificationCenter::~DesktopNotificationCenter() { *alive_ = false; }

AuthorizationStatus DesktopNotificationCenter::statusFor(NotificationPermission permission) {
    switch (permission) {
        case NotificationPermission::notDetermined: return AuthorizationStatus::notDetermined;
        case NotificationPermission::denied: return AuthorizationStatus::denied;
        case NotificationPermission::authorized: return AuthorizationStatus::authorized;
        case NotificationPermission::provisional: return AuthorizationStatus::provisional;
        case NotificationPermission::ephemeral: return AuthorizationStatus::ephemeral;
    }
    return AuthorizationStatus::denied;
}

void DesktopNotificationCenter::onMain(std::function<void()> work) {
    struct Call {
        std::weak_ptr<bool> alive;
        std::function<void()> work;
    };
    g_main_context_invoke_full(context_, G_PRIORITY_DEFAULT, [](gpointer data) -> gboolean {
        auto* call = static_cast<Call*>(data);
        if (!call->alive.expired()) call->work();
        return G_SOURCE_REMOVE;
    }, new Call{alive_, std::move(work)}, [](gpointer data) { delete static_cast<Call*>(data); });
}

void DesktopNotificationCenter::setDelegate(std::weak_ptr<NotificationCenterDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

void DesktopNotificationCenter::setNotificationCategories(std::vector<NotificationCategory> categories) {
    std::lock_guard lock(mutex_);
    categories_ = std::move(categories);
}

void DesktopNotificationCenter::getNotificationSettings(std::function<void(NotificationSettings)> completion) {
    onMain([this, completion = std::move(completion)] {
        client_->readPermission([this, completion](NotificationPermission permission) {
            NotificationSettings settings;
            settings.authorizationStatus = statusFor(permission);
            callbacks_.async([completion, settings] { completion(settings); });
        });
    });
}

void DesktopNotificationCenter::requestAuthorization(unsigned,
                                                     std::function<void(bool, std::string)> completion) {
    onMain([this, completion = std::move(completion)] {
        client_->readPermission([this, completion](NotificationPermission permission) {
            const bool granted = permission == NotificationPermission::authorized;
            std::string error;
            if (permission == NotificationPermission::denied) error = tr("没有可用的桌面通知服务");
            callbacks_.async([completion, granted, error] { completion(granted, error); });
        });
    });
}

void DesktopNotificationCenter::add(NotificationRequest request) {
    DesktopNotification notification;
    notification.title = request.content.title;
    notification.body = request.content.body;
    notification.tag = request.identifier;
    notification.userInfo[kRequestKey] = request.identifier;
    {
        std::lock_guard lock(mutex_);
        for (const auto& category : categories_) {
            if (category.identifier != request.content.categoryIdentifier) continue;
            for (const auto& action : category.actions) notification.actions.emplace_back(action.identifier, action.title);
        }
    }
    notification.waitsForAnswer = !notification.actions.empty();
    notification.noActionsNote = platform::tr(kNoActionsNote);
    onMain([this, notification = std::move(notification), request = std::move(request)]() mutable {
        requests_[request.identifier] = std::move(request);
        client_->post(notification);
    });
}

void DesktopNotificationCenter::removeDeliveredNotifications(std::vector<std::string> identifiers) {
    onMain([this, identifiers = std::move(identifiers)] {
        for (const auto& identifier : identifiers) {
            client_->withdraw(identifier);
            requests_.erase(identifier);
        }
    });
}

void DesktopNotificationCenter::respond(const std::string& action, const std::map<std::string, std::string>& info) {
    const auto key = info.find(kRequestKey);
    if (key == info.end()) return;
    const auto request = requests_.find(key->second);
    if (request == requests_.end()) return;
    NotificationResponse response{request->second, action};
    std::shared_ptr<NotificationCenterDelegate> delegate;
    {
        std::lock_guard lock(mutex_);
        delegate = delegate_.lock();
    }
    callbacks_.async([delegate, response] {
        if (delegate) delegate->didReceive(response, [] {});
    });
}

}  // namespace ampwell::platform::linux_
