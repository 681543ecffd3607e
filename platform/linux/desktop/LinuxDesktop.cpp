#include "platform/linux/desktop/LinuxDesktop.hpp"

#include "platform/linux/GLibMainQueue.hpp"
#include "platform/linux/desktop/DesktopNotificationCenter.hpp"
#include "platform/linux/desktop/GtkAlertPresenter.hpp"
#include "platform/linux/desktop/GtkSession.hpp"
#include "platform/linux/desktop/HistoryWindow.hpp"
#include "platform/linux/desktop/TrayApplication.hpp"
#include "platform/linux/desktop/TrayPanel.hpp"
#include "platform/linux/desktop/TrayStatusBar.hpp"

#include <gio/gio.h>

#include <clocale>
#include <cstdlib>
#include <stdexcept>

namespace ampwell::platform::linux_ {

namespace {

GDBusConnection* sessionBus() { return g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr); }

bool nameHasOwner(GDBusConnection* bus, const char* name) {
    GVariant* reply = g_dbus_connection_call_sync(bus, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                  "org.freedesktop.DBus", "NameHasOwner", g_variant_new("(s)", name),
                                                  G_VARIANT_TYPE("(b)"), G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, nullptr);
    if (!reply) return false;
    gboolean owned = FALSE;
    g_variant_get(reply, "(b)", &owned);
    g_variant_unref(reply);
    return owned;
}

std::string iconDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return "";
    return std::string(runtime) + "/ampwell/icons";
}

class LinuxDesktop final : public Desktop {
public:
    LinuxDesktop(MainQueue& queue, const Clock& clock, GDBusConnection* bus)
        : application_(queue, clock), statusBar_(bus, iconDirectory()),
          notifications_(bus, g_main_context_default(), clock) {
        g_object_unref(bus);
        auto& tray = statusBar_.tray();
        tray.onActivate = [this](int x, int y) { panel_.toggle(shownMenu(), x, y); };
        // Hosts that never send Activate still reach the panel through the menu's view rows.
        statusBar_.menuExport().onViewClicked = [this] { panel_.toggle(shownMenu(), 0, 0); };
        statusBar_.menuExport().onViewsChanged = [this] { panel_.redraw(); };
        // A dialog takes the place of the panel, as an alert would take the place of a menu.
        alerts_.beforeModal = [this] { panel_.hide(); };
    }

    Application& application() override { return application_; }
    StatusBar& statusBar() override { return statusBar_; }
    AlertPresenter& alerts() override { return alerts_; }
    NotificationCenter& notificationCenter() override { return notifications_; }
    // The panel's button and the tray menu's entry before the last (quit) item: an item of the
    // desktop's own, so that the application's menu stays as it built it.
    void offerHistory(HistoryOffer offer) override {
        historyOffer_ = std::move(offer);
        historyItem_ = std::make_shared<MenuItem>(historyOffer_.title, [this](MenuItem&) {
            panel_.hide();
            historyWindow_.show(historyOffer_);
        });
        statusBar_.menuExport().setExtraItem(historyItem_);
        panel_.setExtraItem(historyItem_);
    }

private:
    std::shared_ptr<Menu> shownMenu() const {
        auto item = statusBar_.current();
        return item ? item->menu() : nullptr;
    }

    TrayApplication application_;
    TrayStatusBar statusBar_;
    DesktopNotificationCenter notifications_;
    GtkAlertPresenter alerts_;
    TrayPanel panel_;
    HistoryOffer historyOffer_;
    std::shared_ptr<MenuItem> historyItem_;
    HistoryWindow historyWindow_;
};

}  // namespace

std::string linuxDesktopUnavailableReason(bool needTrayHost) {
    // Nothing here draws with OpenGL; without this GDK probes GLX for its visuals and loads the
    // GL driver (tens of megabytes resident, LLVM included) only to pick a visual.
    g_setenv("GDK_GL", "disable", FALSE);
    if (!displayOpens()) return "no graphical display can be opened (DISPLAY / WAYLAND_DISPLAY)";
    // The locale GTK would set when it comes up, set now, so that nothing changes on the first click.
    std::setlocale(LC_ALL, "");
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        std::string why = "no session bus";
        if (error) {
            why += std::string(": ") + error->message;
            g_error_free(error);
        }
        return why;
    }
    const bool host = nameHasOwner(bus, "org.kde.StatusNotifierWatcher");
    g_object_unref(bus);
    if (needTrayHost && !host) return "no tray host: nothing owns org.kde.StatusNotifierWatcher on the session bus";
    return "";
}

std::unique_ptr<Desktop> makeLinuxDesktop(MainQueue& queue, const Clock& clock) {
    if (auto* glib = dynamic_cast<GLibMainQueue*>(&queue)) {
        // GTK and the tray dispatch on the default context; a queue on another one would starve them.
        if (glib->context() != g_main_context_default()) {
            throw std::runtime_error("the main queue does not run on GLib's default main context");
        }
    }
    GDBusConnection* bus = sessionBus();
    if (!bus) throw std::runtime_error("no session bus");
    return std::make_unique<LinuxDesktop>(queue, clock, bus);
}

}  // namespace ampwell::platform::linux_
