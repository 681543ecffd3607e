#include "StandInNotificationServer.hpp"

#include "BusHelpers.hpp"

namespace ampwell::tests {

namespace {
constexpr const char* kXml = R"XML(<node>
 <interface name="org.freedesktop.Notifications">
  <method name="GetCapabilities"><arg type="as" direction="out"/></method>
  <method name="Notify">
   <arg type="s" direction="in"/><arg type="u" direction="in"/><arg type="s" direction="in"/>
   <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="as" direction="in"/>
   <arg type="a{sv}" direction="in"/><arg type="i" direction="in"/><arg type="u" direction="out"/>
  </method>
  <method name="CloseNotification"><arg type="u" direction="in"/></method>
  <method name="GetServerInformation">
   <arg type="s" direction="out"/><arg type="s" direction="out"/><arg type="s" direction="out"/><arg type="s" direction="out"/>
  </method>
  <signal name="NotificationClosed"><arg type="u"/><arg type="u"/></signal>
  <signal name="ActionInvoked"><arg type="u"/><arg type="s"/></signal>
 </interface>
</node>)XML";
constexpr const char* kPath = "/org/freedesktop/Notifications";
constexpr const char* kName = "org.freedesktop.Notifications";
}  // namespace

void StandInNotificationServer::methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                                           const gchar* method, GVariant* parameters,
                                           GDBusMethodInvocation* invocation, gpointer data) {
    auto* self = static_cast<StandInNotificationServer*>(data);
    const std::string name = method;
    if (name == "GetCapabilities") {
        GVariantBuilder caps;
        g_variant_builder_init(&caps, G_VARIANT_TYPE("as"));
        for (const auto& c : self->capabilities_) g_variant_builder_add(&caps, "s", c.c_str());
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(as)", &caps));
    } else if (name == "Notify") {
        Posted p;
        const gchar *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
        GVariantIter* actions = nullptr;
        GVariant* hints = nullptr;
        gint32 timeout = 0;
        g_variant_get(parameters, "(&su&s&s&sas@a{sv}i)", &app, &p.replacesId, &icon, &summary, &body, &actions,
                      &hints, &timeout);
        p.appName = app;
        p.appIcon = icon;
        p.expireTimeout = timeout;
        p.summary = summary;
        p.body = body;
        const gchar* action = nullptr;
        while (g_variant_iter_loop(actions, "&s", &action)) p.actions.emplace_back(action);
        g_variant_iter_free(actions);
        const gchar* entry = nullptr;
        if (g_variant_lookup(hints, "desktop-entry", "&s", &entry)) p.desktopEntry = entry;
        gboolean resident = FALSE;
        if (g_variant_lookup(hints, "resident", "b", &resident)) p.resident = resident;
        g_variant_unref(hints);
        p.id = p.replacesId != 0 ? p.replacesId : self->nextId_++;
        self->posted_.push_back(p);
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(u)", p.id));
    } else if (name == "CloseNotification") {
        guint32 id = 0;
        g_variant_get(parameters, "(u)", &id);
        self->closedByClient_.push_back(id);
        g_dbus_method_invocation_return_value(invocation, nullptr);
        self->close(id, 3);
    } else if (name == "GetServerInformation") {
        g_dbus_method_invocation_return_value(invocation, g_variant_new("(ssss)", "stand-in", "tests", "1", "1.2"));
    } else {
        g_dbus_method_invocation_return_value(invocation, nullptr);
    }
}

StandInNotificationServer::StandInNotificationServer(std::vector<std::string> capabilities)
    : capabilities_(std::move(capabilities)) {
    connection_ = openPeerConnection();
    info_ = g_dbus_node_info_new_for_xml(kXml, nullptr);
    static const GDBusInterfaceVTable vtable = {methodCall, nullptr, nullptr, {}};
    objectId_ = g_dbus_connection_register_object(connection_, kPath, info_->interfaces[0], &vtable, this, nullptr,
                                                  nullptr);
    ownerId_ = g_bus_own_name_on_connection(
        connection_, kName, G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, gpointer data) {
            static_cast<StandInNotificationServer*>(data)->owned_ = true;
        },
        nullptr, this, nullptr);
}

StandInNotificationServer::~StandInNotificationServer() {
    g_bus_unown_name(ownerId_);
    g_dbus_connection_unregister_object(connection_, objectId_);
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
    g_dbus_node_info_unref(info_);
}

bool StandInNotificationServer::waitUntilOwned() {
    return spinUntil([this] { return owned_; });
}

void StandInNotificationServer::invokeAction(std::uint32_t id, const std::string& action) {
    g_dbus_connection_emit_signal(connection_, nullptr, kPath, kName, "ActionInvoked",
                                  g_variant_new("(us)", id, action.c_str()), nullptr);
}

void StandInNotificationServer::close(std::uint32_t id, std::uint32_t reason) {
    g_dbus_connection_emit_signal(connection_, nullptr, kPath, kName, "NotificationClosed",
                                  g_variant_new("(uu)", id, reason), nullptr);
}

}  // namespace ampwell::tests
