#include "platform/linux/desktop/LinuxDesktop.hpp"

#include "platform/linux/GLibMainQueue.hpp"
#include "platform/linux/desktop/DesktopNotificationCenter.hpp"
#include "platform/linux/desktop/GtkAlertPresenter.hpp"
#include "platform/linux/desktop/GtkSession.hpp"
#include "platform/linux/desktop/HistoryWindow.hpp"
#include "platform/linux/desktop/TrayApplication.hpp"
#include "platform/linux/desktop/TrayHostNotice.hpp"
#include "platform/linux/desktop/TrayPanel.hpp"
#include "platform/linux/desktop/TrayStatusBar.hpp"

#include <gio/gio.h>

#include <clocale>
#include <cstdlib>
#include <stdexcept>

namespace ampwell::platform::linux_ {

namespace {

std::string iconDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return "";
    return std::string(runtime) + "/ampwell/icons";
}

class LinuxDesktop final : public Desktop {
public:
    LinuxDesktop(MainQueue& queue, const Clock& clock, GDBusConnection* bus)
        : application_(queue, clock),
          statusBar_(bus, iconDirectory()),
          notifications_(bus, g_main_context_default(), clock),
          hostNotice_(bus, g_getenv("XDG_CURRENT_DESKTOP") ? g_getenv("XDG_CURRENT_DESKTOP") : "",
                      kTrayHostGraceMilliseconds) {
        auto& tray = statusBar_.tray();
        tray.onRegistration = [this](bool registered) { hostNotice_.registrationChanged(registered); };
        tray.onActivate = [this](int x, int y) { panel_.toggle(shownMenu(), x, y); };
        // Hosts that never send Activate still reach the panel through the menu's view rows.
        statusBar_.menuExport().onViewClicked = [this] { panel_.toggle(shownMenu(), 0, 0); };
        statusBar_.menuExport().onViewsChanged = [this] { panel_.redraw(); };
        // A dialog takes the place of the panel, as an alert would take the place of a menu.
        alerts_.beforeShowing = [this] { panel_.hide(); };
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
        historyItem_->setSymbolName("chart.xyaxis.line");
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
    TrayHostNotice hostNotice_;
    GtkSession gtk_;
    GtkAlertPresenter alerts_{gtk_};
    TrayPanel panel_{gtk_};
    HistoryOffer historyOffer_;
    std::shared_ptr<MenuItem> historyItem_;
    HistoryWindow historyWindow_{gtk_};
};

}  // namespace

std::unique_ptr<Desktop> makeLinuxDesktop(MainQueue& queue, const Clock& clock, std::string& whyNot) {
    if (auto* glib = dynamic_cast<GLibMainQueue*>(&queue)) {
        // GTK and the tray dispatch on the default context; a queue on another one would starve them.
        if (glib->context() != g_main_context_default()) {
            throw std::runtime_error("the main queue does not run on GLib's default main context");
        }
    }
    // Nothing here draws with OpenGL; without this GDK probes GLX for its visuals and loads the
    // GL driver (tens of megabytes resident, LLVM included) only to pick a visual.
    g_setenv("GDK_GL", "disable", FALSE);
    if (!displayOpens()) {
        whyNot = "no graphical display can be opened (DISPLAY / WAYLAND_DISPLAY)";
        return nullptr;
    }
    // The locale GTK would set when it comes up, set now, so that nothing changes on the first click.
    std::setlocale(LC_ALL, "");
    // The one connection every part of the desktop shares.
    g_autoptr(GError) error = nullptr;
    g_autoptr(GDBusConnection) bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (!bus) {
        whyNot = std::string("no session bus: ") + (error ? error->message : "unknown error");
        return nullptr;
    }
    return std::make_unique<LinuxDesktop>(queue, clock, bus);
}

}  // namespace ampwell::platform::linux_
