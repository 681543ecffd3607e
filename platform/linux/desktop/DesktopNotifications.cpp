#include "platform/linux/desktop/DesktopNotifications.hpp"

#include <gio/gio.h>

#include <memory>

namespace ampwell::platform::linux_ {

namespace {
constexpr const char* kPath = "/org/freedesktop/Notifications";
}

struct DesktopNotifications::Impl {
    struct PostCall {
        DesktopNotifications* self;
        std::string tag;
        std::map<std::string, std::string> userInfo;
        std::function<void(bool)> done;
    };

    static bool cancelled(GError* error) {
        return error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
    }

    static void capabilities(GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<std::function<void(NotificationPermission)>> done(
            static_cast<std::function<void(NotificationPermission)>*>(data));
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (cancelled(error)) {
            g_error_free(error);
            return;
        }
        NotificationPermission permission = NotificationPermission::denied;
        if (reply) {
            GVariantIter* iter = nullptr;
            const gchar* capability = nullptr;
            bool actions = false;
            g_variant_get(reply, "(as)", &iter);
            while (g_variant_iter_loop(iter, "&s", &capability)) actions = actions || std::string(capability) == "actions";
            g_variant_iter_free(iter);
            g_variant_unref(reply);
            // Without buttons the warning would lose the reset it offers: it is shown, but not in
            // full, which is what a provisional permission means.
            permission = actions ? NotificationPermission::authorized : NotificationPermission::provisional;
        }
        if (error) g_error_free(error);
        if (*done) (*done)(permission);
    }

    static void posted(GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<PostCall> call(static_cast<PostCall*>(data));
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (cancelled(error)) {
            g_error_free(error);
            return;
        }
        auto* self = call->self;
        if (reply) {
            guint32 id = 0;
            g_variant_get(reply, "(u)", &id);
            g_variant_unref(reply);
            if (!call->tag.empty()) {
                auto old = self->byTag_.find(call->tag);
                if (old != self->byTag_.end() && old->second != id) self->live_.erase(old->second);
                self->byTag_[call->tag] = id;
            }
            self->live_[id] = Live{call->tag, std::move(call->userInfo)};
        }
        if (error) g_error_free(error);
        if (call->done) call->done(reply != nullptr);
    }

    static void actionInvoked(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                              GVariant* parameters, gpointer data) {
        auto* self = static_cast<DesktopNotifications*>(data);
        guint32 id = 0;
        const gchar* action = nullptr;
        g_variant_get(parameters, "(u&s)", &id, &action);
        auto it = self->live_.find(id);
        if (it == self->live_.end()) return;  // another program's notification
        const auto userInfo = it->second.userInfo;
        if (self->onAction) self->onAction(action, userInfo);
    }

    static void closed(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                       gpointer data) {
        auto* self = static_cast<DesktopNotifications*>(data);
        guint32 id = 0;
        guint32 reason = 0;
        g_variant_get(parameters, "(uu)", &id, &reason);
        auto it = self->live_.find(id);
        if (it == self->live_.end()) return;
        auto tag = self->byTag_.find(it->second.tag);
        if (tag != self->byTag_.end() && tag->second == id) self->byTag_.erase(tag);
        self->live_.erase(it);
    }
};

DesktopNotifications::DesktopNotifications(GDBusConnection* connection, std::string appName, std::string desktopEntry)
    : connection_(connection), appName_(std::move(appName)), desktopEntry_(std::move(desktopEntry)) {
    g_object_ref(connection_);
    cancellable_ = g_cancellable_new();
    actionSubscription_ = g_dbus_connection_signal_subscribe(connection_, nullptr, kServiceName, "ActionInvoked", kPath,
                                                             nullptr, G_DBUS_SIGNAL_FLAGS_NONE, Impl::actionInvoked,
                                                             this, nullptr);
    closedSubscription_ = g_dbus_connection_signal_subscribe(connection_, nullptr, kServiceName, "NotificationClosed",
                                                             kPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, Impl::closed,
                                                             this, nullptr);
}

DesktopNotifications::~DesktopNotifications() {
    g_cancellable_cancel(static_cast<GCancellable*>(cancellable_));
    g_object_unref(cancellable_);
    g_dbus_connection_signal_unsubscribe(connection_, actionSubscription_);
    g_dbus_connection_signal_unsubscribe(connection_, closedSubscription_);
    g_object_unref(connection_);
}

void DesktopNotifications::readPermission(std::function<void(NotificationPermission)> done) {
    g_dbus_connection_call(connection_, kServiceName, kPath, kServiceName, "GetCapabilities", nullptr,
                           G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, 5000,
                           static_cast<GCancellable*>(cancellable_), Impl::capabilities,
                           new std::function<void(NotificationPermission)>(std::move(done)));
}

void DesktopNotifications::post(const DesktopNotification& notification, std::function<void(bool)> done) {
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    for (const auto& [id, title] : notification.actions) {
        g_variant_builder_add(&actions, "s", id.c_str());
        g_variant_builder_add(&actions, "s", title.c_str());
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(desktopEntry_.c_str()));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    g_variant_builder_add(&hints, "{sv}", "category", g_variant_new_string("device"));
    guint32 replaces = 0;
    if (auto it = byTag_.find(notification.tag); !notification.tag.empty() && it != byTag_.end()) replaces = it->second;
    GVariant* args = g_variant_new("(susssasa{sv}i)", appName_.c_str(), replaces, "", notification.title.c_str(),
                                   notification.body.c_str(), &actions, &hints, -1);
    g_dbus_connection_call(connection_, kServiceName, kPath, kServiceName, "Notify", args, G_VARIANT_TYPE("(u)"),
                           G_DBUS_CALL_FLAGS_NONE, 5000, static_cast<GCancellable*>(cancellable_), Impl::posted,
                           new Impl::PostCall{this, notification.tag, notification.userInfo, std::move(done)});
}

}  // namespace ampwell::platform::linux_
