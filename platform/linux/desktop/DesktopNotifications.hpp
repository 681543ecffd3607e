#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GCancellable GCancellable;

namespace ampwell::platform::linux_ {

// What the desktop's notification service lets the application do, in the terms the application
// asks about. Asked with GetCapabilities each time: any service that answers can show the
// warnings, so it is `authorized` (one without "actions" gets them without buttons, see
// DesktopNotification::noActionsNote); an error or no service at all is `denied`.
// `notDetermined`, `provisional` and `ephemeral` never occur.
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
    // Stays on screen until answered: no expiry, resident (kept after an action) where the
    // service honours that, and withdrawn by us once the user has picked an action.
    bool waitsForAnswer = false;
    // Appended to the body, on a line of its own, when the service cannot show the buttons.
    std::string noActionsNote;
};

// A client of the session's org.freedesktop.Notifications service over GDBus. Callbacks run on
// the GLib context the connection dispatches on (the main thread).
class DesktopNotifications {
public:
    static constexpr const char* kServiceName = "org.freedesktop.Notifications";
    // The identifier handed back when the user clicks the notification itself.
    static constexpr const char* kDefaultAction = "default";

    // `appName` is shown by the service; `desktopEntry` names our .desktop file (without suffix),
    // `appIcon` the icon the service shows beside the text (a theme name).
    DesktopNotifications(GDBusConnection* connection, std::string appName, std::string desktopEntry,
                         std::string appIcon);
    ~DesktopNotifications();
    DesktopNotifications(const DesktopNotifications&) = delete;
    DesktopNotifications& operator=(const DesktopNotifications&) = delete;

    // Asks the service what it can do and answers with the permission that follows.
    void readPermission(std::function<void(NotificationPermission)> done);

    // Asks the service what it can do, then posts (or replaces, by tag) the notification, with
    // its buttons when the service can show them. `done` receives whether the service took it.
    void post(const DesktopNotification& notification, std::function<void(bool)> done = {});

    // Takes the notification posted under `tag` off the screen, if it is still there.
    void withdraw(const std::string& tag);

    // Called when the user picks an action (or clicks the notification: kDefaultAction) with the
    // action's identifier and the notification's user info.
    std::function<void(const std::string& action, const std::map<std::string, std::string>& userInfo)> onAction;

    struct Impl;

private:
    struct Live {
        std::string tag;
        std::map<std::string, std::string> userInfo;
        bool waitsForAnswer = false;
    };

    void notify(const DesktopNotification& notification, bool showActions, bool markup, std::uint64_t number,
                std::function<void(bool)> done);
    void close(std::uint32_t id);
    void forget(std::uint32_t id);

    GDBusConnection* connection_;
    std::string appName_;
    std::string desktopEntry_;
    std::string appIcon_;
    unsigned actionSubscription_ = 0;
    unsigned closedSubscription_ = 0;
    std::map<std::uint32_t, Live> live_;          // service id → what was posted
    std::map<std::string, std::uint32_t> byTag_;  // tag → service id of the newest one
    // Every post is numbered; a withdrawal covers the posts of its tag up to the number then
    // reached, so one whose answer comes back after it is closed as soon as its id is known.
    std::uint64_t posts_ = 0;
    std::map<std::string, std::uint64_t> withdrawnThrough_;
    GCancellable* cancellable_;

    friend struct Impl;
};

}  // namespace ampwell::platform::linux_
