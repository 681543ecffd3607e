#include "StandInWatcher.hpp"

#include "BusHelpers.hpp"

namespace ampwell::tests {

namespace {
constexpr const char* kXml = R"XML(<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
 </interface>
</node>)XML";
}

void StandInWatcher::methodCall(GDBusConnection* connection, const gchar* sender, const gchar*, const gchar*,
                                const gchar* method, GVariant* parameters, GDBusMethodInvocation* invocation,
                                gpointer data) {
    auto* self = static_cast<StandInWatcher*>(data);
    const gchar* service = nullptr;
    g_variant_get(parameters, "(&s)", &service);
    if (std::string(method) == "RegisterStatusNotifierItem" && self->refusals_ > 0) {
        --self->refusals_;
        g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod",
                                                   "No such interface yet");
        return;
    }
    if (std::string(method) == "RegisterStatusNotifierItem") {
        self->registered_.emplace_back(service);
        self->lastSender_ = sender;
        g_dbus_connection_emit_signal(connection, nullptr, "/StatusNotifierWatcher", "org.kde.StatusNotifierWatcher",
                                      "StatusNotifierItemRegistered", g_variant_new("(s)", service), nullptr);
    }
    g_dbus_method_invocation_return_value(invocation, nullptr);
}

GVariant* StandInWatcher::property(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* name,
                                   GError**, gpointer data) {
    auto* self = static_cast<StandInWatcher*>(data);
    const std::string which = name;
    if (which == "IsStatusNotifierHostRegistered") return g_variant_new_boolean(TRUE);
    if (which == "ProtocolVersion") return g_variant_new_int32(0);
    GVariantBuilder items;
    g_variant_builder_init(&items, G_VARIANT_TYPE("as"));
    for (const auto& item : self->registered_) g_variant_builder_add(&items, "s", item.c_str());
    return g_variant_builder_end(&items);
}

StandInWatcher::StandInWatcher(int refusals) : refusals_(refusals) {
    connection_ = openPeerConnection();
    info_ = g_dbus_node_info_new_for_xml(kXml, nullptr);
    static const GDBusInterfaceVTable vtable = {methodCall, property, nullptr, {}};
    objectId_ = g_dbus_connection_register_object(connection_, "/StatusNotifierWatcher", info_->interfaces[0], &vtable,
                                                  this, nullptr, nullptr);
    ownerId_ = g_bus_own_name_on_connection(
        connection_, "org.kde.StatusNotifierWatcher", G_BUS_NAME_OWNER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, gpointer data) { static_cast<StandInWatcher*>(data)->owned_ = true; },
        nullptr, this, nullptr);
}

StandInWatcher::~StandInWatcher() {
    g_bus_unown_name(ownerId_);
    g_dbus_connection_unregister_object(connection_, objectId_);
    g_dbus_connection_close_sync(connection_, nullptr, nullptr);
    g_object_unref(connection_);
    g_dbus_node_info_unref(info_);
}

bool StandInWatcher::waitUntilOwned() {
    return spinUntil([this] { return owned_; });
}

}  // namespace ampwell::tests
