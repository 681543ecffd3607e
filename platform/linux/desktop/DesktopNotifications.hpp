#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;

namespace ampwell::platform::linux_ {

// What the desktop's notification service lets the application do, in the terms the application
// asks about. Asked with GetCapabilities each time: capabilities with "actions" are
// `authorized`; without them `provisional` (the reset button could not be shown, so no warning is
// posted); an error or no service at all is `denied`. `notDetermined` and `ephemeral` never occur.
enum class NotificationPermission { notDetermined, denied, authorized, provisional, ephemeral };

struct DesktopNotification {
    std::string title;
    std::string body;
    // Buttons in order: identifier, title.
    std::vector<std::pair<std::string, std::string>> actions;
    // Handed back with the identifier of the action the user chose.
    std::map<std::string, std::string> userInfo;
    // Notifications posted with the same tag replace each other instead of stacking.
    std::string tag;
};

// A client of the session's org.freedesktop.Notifications service over GDBus. Callbacks run on
// the GLib context the connection dispatches on (the main thread).
class DesktopNotifications {
public:
    static constexpr const char* kServiceName = "org.freedesktop.Notifications";
    // The identifier handed back when the user clicks the notification itself.
    static constexpr const char* kDefaultAction = "default";

    // `appName` is shown by the service; `desktopEntry` names our .desktop file (without suffix).
    DesktopNotifications(GDBusConnection* connection, std::string appName, std::string desktopEntry);
    ~DesktopNotifications();
    DesktopNotifications(const DesktopNotifications&) = delete;
    DesktopNotifications& operator=(const DesktopNotifications&) = delete;

    // Asks the service what it can do and answers with the permission that follows.
    void readPermission(std::function<void(NotificationPermission)> done);

    // Posts (or replaces, by tag) a notification. `done` receives whether the service took it.
    void post(const DesktopNotification& notification, std::function<void(bool)> done = {});

    // Called when the user picks an action (or clicks the notification: kDefaultAction) with the
    // action's identifier and the notification's user info.
    std::function<void(const std::string& action, const std::map<std::string, std::string>& userInfo)> onAction;

    struct Impl;

private:
    struct Live {
        std::string tag;
        std::map<std::string, std::string> userInfo;
    };

    GDBusConnection* connection_;
    std::string appName_;
    std::string desktopEntry_;
    unsigned actionSubscription_ = 0;
    unsigned closedSubscription_ = 0;
    std::map<std::uint32_t, Live> live_;            // service id → what was posted
    std::map<std::string, std::uint32_t> byTag_;    // tag → service id of the newest one
    void* cancellable_ = nullptr;

    friend struct Impl;
};

}  // namespace ampwell::platform::linux_
