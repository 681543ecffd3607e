#include "platform/linux/desktop/StatusNotifierItem.hpp"

#include <gio/gio.h>

#include <stdexcept>

namespace ampwell::platform::linux_ {

namespace {

constexpr const char* kInterface = "org.kde.StatusNotifierItem";
// A refused registration is tried again this often, this many times, while the watcher is there.
constexpr guint kRegistrationRetryMilliseconds = 500;
constexpr int kRegistrationTries = 20;

constexpr const char* kIntrospection = R"XML(<node>
 <interface name="org.kde.StatusNotifierItem">
  <property name="Category" type="s" access="read"/>
  <property name="Id" type="s" access="read"/>
  <property name="Title" type="s" access="read"/>
  <property name="Status" type="s" access="read"/>
  <property name="WindowId" type="i" access="read"/>
  <property name="IconThemePath" type="s" access="read"/>
  <property name="IconName" type="s" access="read"/>
  <property name="IconPixmap" type="a(iiay)" access="read"/>
  <property name="OverlayIconName" type="s" access="read"/>
  <property name="OverlayIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionIconName" type="s" access="read"/>
  <property name="AttentionIconPixmap" type="a(iiay)" access="read"/>
  <property name="AttentionMovieName" type="s" access="read"/>
  <property name="ToolTip" type="(sa(iiay)ss)" access="read"/>
  <property name="ItemIsMenu" type="b" access="read"/>
  <property name="Menu" type="o" access="read"/>
  <property name="XAyatanaLabel" type="s" access="read"/>
  <property name="XAyatanaLabelGuide" type="s" access="read"/>
  <property name="XAyatanaOrderingIndex" type="u" access="read"/>
  <method name="ContextMenu"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Activate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="SecondaryActivate"><arg name="x" type="i" direction="in"/><arg name="y" type="i" direction="in"/></method>
  <method name="Scroll"><arg name="delta" type="i" direction="in"/><arg name="orientation" type="s" direction="in"/></method>
  <signal name="NewTitle"/>
  <signal name="NewIcon"/>
  <signal name="NewAttentionIcon"/>
  <signal name="NewOverlayIcon"/>
  <signal name="NewToolTip"/>
  <signal name="NewStatus"><arg name="status" type="s"/></signal>
  <signal name="XAyatanaNewLabel"><arg name="label" type="s"/><arg name="guide" type="s"/></signal>
 </interface>
</node>)XML";

GVariant* pixmapArray(const std::vector<IconPixmap>& pixmaps) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE("a(iiay)"));
    for (const auto& p : pixmaps) {
        GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, p.argb.data(), p.argb.size(), 1);
        g_variant_builder_add(&builder, "(ii@ay)", p.width, p.height, bytes);
    }
    return g_variant_builder_end(&builder);
}

}  // namespace

struct StatusNotifierItem::Impl {
    static void methodCall(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method,
                           GVariant* parameters, GDBusMethodInvocation* invocation, gpointer data) {
        auto* self = static_cast<StatusNotifierItem*>(data);
        std::function<void(int, int)>* handler = nullptr;
        const std::string name = method;
        if (name == "Activate")
            handler = &self->onActivate;
        else if (name == "SecondaryActivate")
            handler = &self->onSecondaryActivate;
        else if (name == "ContextMenu")
            handler = &self->onContextMenu;
        if (name == "Scroll") {
            g_dbus_method_invocation_return_value(invocation, nullptr);  // nothing to scroll through
            return;
        }
        if (!handler) {
            g_dbus_method_invocation_return_error(invocation, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_METHOD,
                                                  "No such method: %s", method);
            return;
        }
        gint32 x = 0;
        gint32 y = 0;
        g_variant_get(parameters, "(ii)", &x, &y);
        // Answer first: the handler may open a modal window, and the host must not wait for it.
        g_dbus_method_invocation_return_value(invocation, nullptr);
        if (*handler) (*handler)(x, y);
    }

    static GVariant* getProperty(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* property,
                                 GError** error, gpointer data) {
        auto* self = static_cast<StatusNotifierItem*>(data);
        const std::string name = property;
        auto str = [](const std::string& s) { return g_variant_new_string(s.c_str()); };
        if (name == "Category") return g_variant_new_string("Hardware");
        if (name == "Id") return str(self->id_);
        if (name == "Title") return str(self->title_);
        if (name == "Status") return str(self->status_);
        if (name == "WindowId") return g_variant_new_int32(0);
        if (name == "IconThemePath") return str(self->themePath_);
        if (name == "IconName") return str(self->iconName_);
        if (name == "IconPixmap") return pixmapArray(self->pixmaps_);
        if (name == "OverlayIconPixmap" || name == "AttentionIconPixmap") return pixmapArray({});
        if (name == "OverlayIconName" || name == "AttentionIconName" || name == "AttentionMovieName")
            return g_variant_new_string("");
        if (name == "ToolTip") {
            return g_variant_new("(s@a(iiay)ss)", "", pixmapArray({}), self->toolTipTitle_.c_str(),
                                 self->toolTipBody_.c_str());
        }
        if (name == "ItemIsMenu") return g_variant_new_boolean(FALSE);
        if (name == "Menu") return g_variant_new_object_path(self->menuPath_.c_str());
        if (name == "XAyatanaLabel") return str(self->label_);
        if (name == "XAyatanaLabelGuide") return str(self->labelGuide_);
        if (name == "XAyatanaOrderingIndex") return g_variant_new_uint32(0);
        g_set_error(error, G_DBUS_ERROR, G_DBUS_ERROR_UNKNOWN_PROPERTY, "No such property: %s", property);
        return nullptr;
    }

    static void registered(GObject* source, GAsyncResult* result, gpointer data) {
        g_autoptr(GError) error = nullptr;
        g_autoptr(GVariant) reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
        if (g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) return;  // the item is gone
        auto* self = static_cast<StatusNotifierItem*>(data);
        self->registered_ = reply != nullptr;
        if (self->onRegistration) self->onRegistration(self->registered_);
        // A host owns the watcher's name a moment before it serves the watcher's object: a call
        // in between is refused (GNOME's extension, switched on while the program runs, did so
        // in about one start in ten). The item then tries again while that watcher is there.
        if (!self->registered_ && self->watcherPresent_ && self->registrationTries_ < kRegistrationTries &&
            self->retrySource_ == 0) {
            self->retrySource_ = g_timeout_add(kRegistrationRetryMilliseconds, retry, self);
        }
    }

    static gboolean retry(gpointer data) {
        auto* self = static_cast<StatusNotifierItem*>(data);
        self->retrySource_ = 0;
        if (self->watcherPresent_ && !self->registered_) requestRegistration(self);
        return G_SOURCE_REMOVE;
    }

    static void requestRegistration(StatusNotifierItem* self) {
        ++self->registrationTries_;
        g_dbus_connection_call(self->connection_, kWatcherName, "/StatusNotifierWatcher", kWatcherName,
                               "RegisterStatusNotifierItem", g_variant_new("(s)", self->busName_.c_str()), nullptr,
                               G_DBUS_CALL_FLAGS_NONE, 5000, self->cancellable_, registered, self);
    }

    // GNOME Shell's AppIndicator extension drops an item it knows by a well-known name about a
    // second after taking it in, logging "Argument two may not be null". For such an item it
    // watches the name apart from the proxy that reads the item; when that watch first reports
    // the name present, which can come after the proxy has read all properties, it empties the
    // cached Id and Menu and reads both again a second later. Storing a value read again first
    // compares it with the cached one, GLib.Variant.equal(), whose second argument is the emptied
    // (null) entry: the call throws, and the item is destroyed. It knows the item by a
    // well-known name when the item registers by one, and when its scan of the bus on being
    // switched on (a login, an unlock) reaches the item before our registration does and the
    // connection owns an org.kde.StatusNotifierItem-* name. So the item registers by the unique
    // name and owns no other: the extension then neither watches a name nor finds one to watch.
    static void watcherAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data) {
        auto* self = static_cast<StatusNotifierItem*>(data);
        self->watcherPresent_ = true;
        self->registrationTries_ = 0;
        requestRegistration(self);
    }

    static void watcherVanished(GDBusConnection*, const gchar*, gpointer data) {
        auto* self = static_cast<StatusNotifierItem*>(data);
        self->watcherPresent_ = false;
        const bool was = self->registered_;
        self->registered_ = false;
        if (was && self->onRegistration) self->onRegistration(false);
    }
};

namespace {
const GDBusInterfaceVTable vtable = {
    StatusNotifierItem::Impl::methodCall, StatusNotifierItem::Impl::getProperty, nullptr, {}};
}

StatusNotifierItem::StatusNotifierItem(GDBusConnection* connection, std::string id, std::string menuPath)
    : connection_(connection), id_(std::move(id)), menuPath_(std::move(menuPath)) {
    const gchar* unique = g_dbus_connection_get_unique_name(connection_);
    if (!unique) throw std::runtime_error("cannot export the status item: the connection is not to a message bus");
    busName_ = unique;
    g_autoptr(GError) error = nullptr;
    g_autoptr(GDBusNodeInfo) introspection = g_dbus_node_info_new_for_xml(kIntrospection, &error);
    if (introspection) {
        objectId_ = g_dbus_connection_register_object(connection_, kObjectPath, introspection->interfaces[0], &vtable,
                                                      this, nullptr, &error);
    }
    if (objectId_ == 0)
        throw std::runtime_error(std::string("cannot export the status item: ") +
                                 (error ? error->message : "unknown error"));
    // Taken only now: nothing above is left to undo when the constructor throws.
    g_object_ref(connection_);
    introspection_ = static_cast<GDBusNodeInfo*>(g_steal_pointer(&introspection));
    cancellable_ = g_cancellable_new();
    watchId_ = g_bus_watch_name_on_connection(connection_, kWatcherName, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                              Impl::watcherAppeared, Impl::watcherVanished, this, nullptr);
}

StatusNotifierItem::~StatusNotifierItem() {
    if (retrySource_ != 0) g_source_remove(retrySource_);
    g_cancellable_cancel(cancellable_);
    g_object_unref(cancellable_);
    g_bus_unwatch_name(watchId_);
    g_dbus_connection_unregister_object(connection_, objectId_);
    g_dbus_node_info_unref(introspection_);
    g_object_unref(connection_);
}

void StatusNotifierItem::emit(const char* signal, const char* argsType, const std::string& a, const std::string& b) {
    GVariant* args = nullptr;
    if (argsType && std::string(argsType) == "(s)") args = g_variant_new("(s)", a.c_str());
    if (argsType && std::string(argsType) == "(ss)") args = g_variant_new("(ss)", a.c_str(), b.c_str());
    g_dbus_connection_emit_signal(connection_, nullptr, kObjectPath, kInterface, signal, args, nullptr);
}

void StatusNotifierItem::setTitle(const std::string& title) {
    if (title == title_) return;
    title_ = title;
    emit("NewTitle");
}

void StatusNotifierItem::setVisible(bool visible) {
    const std::string status = visible ? "Active" : "Passive";
    if (status == status_) return;
    status_ = status;
    emit("NewStatus", "(s)", status_);
}

void StatusNotifierItem::setIcon(std::vector<IconPixmap> pixmaps, const std::string& name,
                                 const std::string& themePath) {
    bool same = name == iconName_ && themePath == themePath_ && pixmaps.size() == pixmaps_.size();
    for (std::size_t i = 0; same && i < pixmaps.size(); ++i) same = pixmaps[i].argb == pixmaps_[i].argb;
    if (same) return;
    pixmaps_ = std::move(pixmaps);
    iconName_ = name;
    themePath_ = themePath;
    emit("NewIcon");
}

void StatusNotifierItem::setToolTip(const std::string& title, const std::string& body) {
    if (title == toolTipTitle_ && body == toolTipBody_) return;
    toolTipTitle_ = title;
    toolTipBody_ = body;
    emit("NewToolTip");
}

void StatusNotifierItem::setLabel(const std::string& label, const std::string& guide) {
    if (label == label_ && guide == labelGuide_) return;
    label_ = label;
    labelGuide_ = guide;
    emit("XAyatanaNewLabel", "(ss)", label_, labelGuide_);
}

}  // namespace ampwell::platform::linux_
