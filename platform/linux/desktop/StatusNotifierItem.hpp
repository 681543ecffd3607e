#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GDBusNodeInfo GDBusNodeInfo;
typedef struct _GCancellable GCancellable;

namespace ampwell::platform::linux_ {

// One icon bitmap as the tray protocol carries it: ARGB32, not premultiplied, network byte order.
struct IconPixmap {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> argb;  // width * height * 4 bytes
};

// The application's entry in the desktop's tray: an org.kde.StatusNotifierItem object exported on
// the session bus. It is registered with the StatusNotifierWatcher whenever one appears (a panel
// started after us, a restarted panel) under the connection's unique name, and the connection owns
// no well-known name for it (no org.kde.StatusNotifierItem-PID-N): see watcherAppeared() in the .cpp
// for why. Every property change emits the matching New* signal; unknown properties and methods
// are answered with D-Bus errors. Main thread only (the GLib context the connection dispatches on).
class StatusNotifierItem {
public:
    static constexpr const char* kObjectPath = "/StatusNotifierItem";
    static constexpr const char* kWatcherName = "org.kde.StatusNotifierWatcher";

    // Exports the item on `connection` with the dbusmenu object at `menuPath`. Throws
    // std::runtime_error when the object cannot be exported or the connection is not to a bus.
    StatusNotifierItem(GDBusConnection* connection, std::string id, std::string menuPath);
    ~StatusNotifierItem();
    StatusNotifierItem(const StatusNotifierItem&) = delete;
    StatusNotifierItem& operator=(const StatusNotifierItem&) = delete;

    // The connection's unique name: where hosts reach the item.
    const std::string& busName() const { return busName_; }
    // True once a watcher accepted the registration (a tray host shows the item).
    bool isRegistered() const { return registered_; }

    void setTitle(const std::string& title);
    // Shown (Active) or hidden (Passive).
    void setVisible(bool visible);
    void setIcon(std::vector<IconPixmap> pixmaps, const std::string& name, const std::string& themePath);
    void setToolTip(const std::string& title, const std::string& body);
    // Text next to the icon where the host shows one; `guide` is the longest text expected, so
    // the host can reserve its width.
    void setLabel(const std::string& label, const std::string& guide);

    const std::string& status() const { return status_; }
    const std::string& label() const { return label_; }

    // Called with the screen position the host reports (0, 0 when it does not know).
    std::function<void(int x, int y)> onActivate;
    std::function<void(int x, int y)> onSecondaryActivate;
    std::function<void(int x, int y)> onContextMenu;
    // Called after every registration attempt with its outcome, and with false when the
    // watcher goes away.
    std::function<void(bool registered)> onRegistration;

    struct Impl;

private:
    void emit(const char* signal, const char* argsType = nullptr, const std::string& a = {}, const std::string& b = {});

    GDBusConnection* connection_;
    std::string id_;
    std::string menuPath_;
    std::string busName_;
    std::string title_;
    std::string status_ = "Passive";
    std::vector<IconPixmap> pixmaps_;
    std::string iconName_;
    std::string themePath_;
    std::string toolTipTitle_;
    std::string toolTipBody_;
    std::string label_;
    std::string labelGuide_;
    bool registered_ = false;
    bool watcherPresent_ = false;
    int registrationTries_ = 0;  // since the watcher last appeared
    unsigned retrySource_ = 0;   // a pending retry of the registration, or 0
    GDBusNodeInfo* introspection_ = nullptr;
    unsigned objectId_ = 0;
    unsigned watchId_ = 0;
    GCancellable* cancellable_ = nullptr;

    friend struct Impl;
};

}  // namespace ampwell::platform::linux_
