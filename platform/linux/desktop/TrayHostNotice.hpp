#pragma once

#include "platform/linux/desktop/DesktopNotifications.hpp"

#include <string>

namespace ampwell::platform::linux_ {

// Tells the user once, through the notification service, when the tray item has found no tray
// host `graceMilliseconds` after start: the item waits for one all along and appears as soon as
// one starts, but a desktop without any (stock GNOME) would otherwise show nothing at all. The
// notice says what is missing and how to get it for the desktop named in XDG_CURRENT_DESKTOP
// (given as `currentDesktop`), and is withdrawn when a host appears after all. Main thread.
class TrayHostNotice {
public:
    static constexpr const char* kTag = "tray-host-missing";

    TrayHostNotice(GDBusConnection* connection, std::string currentDesktop, unsigned graceMilliseconds);
    ~TrayHostNotice();
    TrayHostNotice(const TrayHostNotice&) = delete;
    TrayHostNotice& operator=(const TrayHostNotice&) = delete;

    // The item's registration with a tray host succeeded (true) or ended (false).
    void registrationChanged(bool registered);

    // What the notice says on the desktop named `currentDesktop`.
    static DesktopNotification message(const std::string& currentDesktop);

    bool hasTold() const { return told_; }

private:
    void graceOver();

    DesktopNotifications notifications_;
    std::string currentDesktop_;
    unsigned timer_ = 0;
    bool everRegistered_ = false;
    bool told_ = false;
};

}  // namespace ampwell::platform::linux_
