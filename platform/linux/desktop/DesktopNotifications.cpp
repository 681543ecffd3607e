#include "platform/linux/desktop/DesktopNotifications.hpp"

#include <gio/gio.h>

#include <memory>

namespace ampwell::platform::linux_ {

namespace {

constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr int kCallTimeoutMs = 5000;

bool cancelled(const GError* error) { return error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED); }

// The capability list of a GetCapabilities reply includes `wanted`.
bool hasCapability(GVariant* reply, const char* wanted) {
    g_autoptr(GVariantIter) iter = nullptr;
    g_variant_get(reply, "(as)", &iter);
    const gchar* capability = nullptr;
    while (g_variant_iter_next(iter, "&s", &capability))
        if (g_strcmp0(capability, wanted) == 0) return true;
    return false;
}

}  // namespace

struct DesktopNotifications::Impl {
    struct Capabilities {
        DesktopNotifications* self;
        std::function<void(GVariant* reply)> then;  // null reply: the service did not answer
    };

    struct PostCall {
        DesktopNotifications* self;
        std::string tag;
        std::map<std::string, std::string> userInfo;
        bool waitsForAnswer;
        std::uint64_t number;
        std::function<void(bool)> done;
    };

    static void askCapabilities(DesktopNotifications* self, std::function<void(GVariant*)> then) {
        g_dbus_connection_call(self->connection_, kServiceName, kPath, kServiceName, "GetCapabilities", nullptr,
                               G_VARIANT_TYPE("(as)"), G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, self->cancellable_,
                               capabilities, new Capabilities{self, std::move(then)});
    }

    static void capabilities(GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<Capabilities> call(static_cast<Capabilities*>(data));
        g_autoptr(GError) error = nullptr;
        g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (cancelled(error)) return;  // the client is gone
        call->then(reply);
    }

    static void posted(GObject* source, GAsyncResult* result, gpointer data) {
        std::unique_ptr<PostCall> call(static_cast<PostCall*>(data));
        g_autoptr(GError) error = nullptr;
        g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (cancelled(error)) return;
        auto* self = call->self;
        if (reply) {
            guint32 id = 0;
            g_variant_get(reply, "(u)", &id);
            if (!call->tag.empty()) {
                auto old = self->byTag_.find(call->tag);
                if (old != self->byTag_.end() && old->second != id) self->live_.erase(old->second);
                self->byTag_[call->tag] = id;
            }
            self->live_[id] = Live{call->tag, std::move(call->userInfo), call->waitsForAnswer};
            const auto withdrawn = self->withdrawnThrough_.find(call->tag);
            if (withdrawn != self->withdrawnThrough_.end() && call->number <= withdrawn->second) self->close(id);
        }
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
        const std::string chosen = action;
        // Answered: a warning that waited for this leaves the screen (a resident one would stay).
        if (it->second.waitsForAnswer) self->close(id);
        if (self->onAction) self->onAction(chosen, userInfo);
    }

    static void closed(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                       gpointer data) {
        guint32 id = 0;
        guint32 reason = 0;
        g_variant_get(parameters, "(uu)", &id, &reason);
        static_cast<DesktopNotifications*>(data)->forget(id);
    }
};

DesktopNotifications::DesktopNotifications(GDBusConnection* connection, std::string appName, std::string desktopEntry,
                                           std::string appIcon)
    : connection_(G_DBUS_CONNECTION(g_object_ref(connection))),
      appName_(std::move(appName)),
      desktopEntry_(std::move(desktopEntry)),
      appIcon_(std::move(appIcon)),
      cancellable_(g_cancellable_new()) {
    actionSubscription_ = g_dbus_connection_signal_subscribe(connection_, nullptr, kServiceName, "ActionInvoked", kPath,
                                                             nullptr, G_DBUS_SIGNAL_FLAGS_NONE, Impl::actionInvoked,
                                                             this, nullptr);
    closedSubscription_ = g_dbus_connection_signal_subscribe(connection_, nullptr, kServiceName, "NotificationClosed",
                                                             kPath, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, Impl::closed,
                                                             this, nullptr);
}

DesktopNotifications::~DesktopNotifications() {
    g_cancellable_cancel(cancellable_);
    g_object_unref(cancellable_);
    g_dbus_connection_signal_unsubscribe(connection_, actionSubscription_);
    g_dbus_connection_signal_unsubscribe(connection_, closedSubscription_);
    g_object_unref(connection_);
}

void DesktopNotifications::readPermission(std::function<void(NotificationPermission)> done) {
    Impl::askCapabilities(this, [done = std::move(done)](GVariant* reply) {
        if (done) done(reply ? NotificationPermission::authorized : NotificationPermission::denied);
    });
}

void DesktopNotifications::post(const DesktopNotification& notification, std::function<void(bool)> done) {
    const std::uint64_t number = ++posts_;
    Impl::askCapabilities(this, [this, notification, number, done = std::move(done)](GVariant* reply) mutable {
        if (!reply) {
            if (done) done(false);
            return;
        }
        notify(notification, hasCapability(reply, "actions"), hasCapability(reply, "body-markup"), number,
               std::move(done));
    });
}

void DesktopNotifications::notify(const DesktopNotification& notification, bool showActions, bool markup,
                                  std::uint64_t number, std::function<void(bool)> done) {
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    if (showActions) {
        for (const auto& [id, title] : notification.actions) {
            g_variant_builder_add(&actions, "s", id.c_str());
            g_variant_builder_add(&actions, "s", title.c_str());
        }
    }
    std::string body = notification.body;
    if (!showActions && !notification.actions.empty() && !notification.noActionsNote.empty())
        body += "\n" + notification.noActionsNote;
    // A service that reads markup would take a "&" or "<" of ours for the start of a tag.
    if (markup) {
        g_autofree gchar* escaped = g_markup_escape_text(body.c_str(), -1);
        body = escaped;
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(desktopEntry_.c_str()));
    g_variant_builder_add(&hints, "{sv}", "urgency", g_variant_new_byte(1));
    g_variant_builder_add(&hints, "{sv}", "category", g_variant_new_string("device"));
    if (notification.waitsForAnswer) g_variant_builder_add(&hints, "{sv}", "resident", g_variant_new_boolean(TRUE));
    guint32 replaces = 0;
    if (auto it = byTag_.find(notification.tag); !notification.tag.empty() && it != byTag_.end()) replaces = it->second;
    // 0: never expires; -1: the service's own default.
    const gint32 expiry = notification.waitsForAnswer ? 0 : -1;
    GVariant* args = g_variant_new("(susssasa{sv}i)", appName_.c_str(), replaces, appIcon_.c_str(),
                                   notification.title.c_str(), body.c_str(), &actions, &hints, expiry);
    g_dbus_connection_call(connection_, kServiceName, kPath, kServiceName, "Notify", args, G_VARIANT_TYPE("(u)"),
                           G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, cancellable_, Impl::posted,
                           new Impl::PostCall{this, notification.tag, notification.userInfo,
                                              notification.waitsForAnswer, number, std::move(done)});
}

void DesktopNotifications::withdraw(const std::string& tag) {
    withdrawnThrough_[tag] = posts_;
    const auto it = byTag_.find(tag);
    if (it != byTag_.end()) close(it->second);
}

void DesktopNotifications::close(std::uint32_t id) {
    // The service answers with NotificationClosed, which forgets it; forgotten now as well, so
    // that a late action on it is not taken for an answer.
    g_dbus_connection_call(connection_, kServiceName, kPath, kServiceName, "CloseNotification",
                           g_variant_new("(u)", id), nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs, cancellable_,
                           nullptr, nullptr);
    forget(id);
}

void DesktopNotifications::forget(std::uint32_t id) {
    auto it = live_.find(id);
    if (it == live_.end()) return;
    auto tag = byTag_.find(it->second.tag);
    if (tag != byTag_.end() && tag->second == id) byTag_.erase(tag);
    live_.erase(it);
}

}  // namespace ampwell::platform::linux_
