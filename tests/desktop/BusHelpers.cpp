#include "BusHelpers.hpp"

namespace ampwell::tests {

bool spinUntil(const std::function<bool()>& done, int ms) {
    const gint64 end = g_get_monotonic_time() + static_cast<gint64>(ms) * 1000;
    while (!done()) {
        if (g_get_monotonic_time() > end) return false;
        if (!g_main_context_iteration(nullptr, FALSE)) g_usleep(1000);
    }
    return true;
}

GDBusConnection* openPeerConnection() {
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    GDBusConnection* connection = g_dbus_connection_new_for_address_sync(
        address,
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    g_free(address);
    return connection;
}

GVariant* callAndWait(GDBusConnection* connection, const std::string& name, const std::string& path,
                      const std::string& interface, const std::string& method, GVariant* args, std::string* error) {
    struct Result {
        bool done = false;
        GVariant* reply = nullptr;
        std::string error;
    } result;
    g_dbus_connection_call(
        connection, name.c_str(), path.c_str(), interface.c_str(), method.c_str(), args, nullptr,
        G_DBUS_CALL_FLAGS_NONE, 3000, nullptr,
        [](GObject* source, GAsyncResult* res, gpointer data) {
            auto* out = static_cast<Result*>(data);
            GError* e = nullptr;
            out->reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), res, &e);
            if (e) {
                out->error = e->message;
                g_error_free(e);
            }
            out->done = true;
        },
        &result);
    spinUntil([&] { return result.done; }, 4000);
    if (error) *error = result.error;
    return result.reply;
}

GVariant* getProperty(GDBusConnection* connection, const std::string& name, const std::string& path,
                      const std::string& interface, const std::string& property) {
    GVariant* reply = callAndWait(connection, name, path, "org.freedesktop.DBus.Properties", "Get",
                                  g_variant_new("(ss)", interface.c_str(), property.c_str()));
    if (!reply) return nullptr;
    GVariant* boxed = nullptr;
    g_variant_get(reply, "(v)", &boxed);
    g_variant_unref(reply);
    return boxed;
}

}  // namespace ampwell::tests
