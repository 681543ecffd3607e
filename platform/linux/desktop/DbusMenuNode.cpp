#include "platform/linux/desktop/DbusMenuNode.hpp"

#include <libdbusmenu-glib/menuitem.h>

namespace ampwell::platform::linux_ {

DbusMenuNode::DbusMenuNode(bool separator) : item_(dbusmenu_menuitem_new()) {
    if (separator) dbusmenu_menuitem_property_set(item_, DBUSMENU_MENUITEM_PROP_TYPE, "separator");
    connect();
}

DbusMenuNode::DbusMenuNode(DbusmenuMenuitem* item, bool) : item_(item) {
    g_object_ref(item_);
    connect();
}

DbusMenuNode DbusMenuNode::adopt(DbusmenuMenuitem* item) { return DbusMenuNode(item, false); }

DbusMenuNode::DbusMenuNode(DbusMenuNode&& other) noexcept : item_(other.item_) {
    // The signal handlers point at the moved-from node; connect them again to this one.
    for (auto id : other.handlers_) g_signal_handler_disconnect(other.item_, id);
    other.handlers_.clear();
    other.item_ = nullptr;
    onClicked = std::move(other.onClicked);
    onAboutToShow = std::move(other.onAboutToShow);
    onOpened = std::move(other.onOpened);
    onClosed = std::move(other.onClosed);
    connect();
}

DbusMenuNode::~DbusMenuNode() {
    if (!item_) return;
    for (auto id : handlers_) g_signal_handler_disconnect(item_, id);
    DbusmenuMenuitem* parent = dbusmenu_menuitem_get_parent(item_);
    if (parent) dbusmenu_menuitem_child_delete(parent, item_);
    g_object_unref(item_);
}

void DbusMenuNode::connect() {
    handlers_.push_back(g_signal_connect(item_, DBUSMENU_MENUITEM_SIGNAL_ITEM_ACTIVATED, G_CALLBACK(activated), this));
    handlers_.push_back(g_signal_connect(item_, DBUSMENU_MENUITEM_SIGNAL_ABOUT_TO_SHOW, G_CALLBACK(aboutToShow), this));
    handlers_.push_back(g_signal_connect(item_, DBUSMENU_MENUITEM_SIGNAL_EVENT, G_CALLBACK(event), this));
}

void DbusMenuNode::activated(DbusmenuMenuitem* item, unsigned, void* data) {
    auto* self = static_cast<DbusMenuNode*>(data);
    // The library passes on clicks whatever the item's state; a host may send one for an entry
    // it shows greyed out (or a stale one from before the entry was disabled).
    if (!dbusmenu_menuitem_property_get_bool(item, DBUSMENU_MENUITEM_PROP_ENABLED)) return;
    if (self->onClicked) self->onClicked();
}

int DbusMenuNode::aboutToShow(DbusmenuMenuitem*, void* data) {
    auto* self = static_cast<DbusMenuNode*>(data);
    if (self->onAboutToShow) self->onAboutToShow();
    return TRUE;  // the layout may have changed: the host reads it again
}

int DbusMenuNode::event(DbusmenuMenuitem*, char* name, void*, unsigned, void* data) {
    auto* self = static_cast<DbusMenuNode*>(data);
    const std::string what = name ? name : "";
    if (what == DBUSMENU_MENUITEM_EVENT_OPENED && self->onOpened) self->onOpened();
    if (what == DBUSMENU_MENUITEM_EVENT_CLOSED && self->onClosed) self->onClosed();
    return FALSE;  // let the default handling ("clicked" → item-activated) go on
}

int DbusMenuNode::id() const { return dbusmenu_menuitem_get_id(item_); }

void DbusMenuNode::setLabel(const std::string& label) {
    dbusmenu_menuitem_property_set(item_, DBUSMENU_MENUITEM_PROP_LABEL, label.c_str());
}

void DbusMenuNode::setEnabled(bool enabled) {
    dbusmenu_menuitem_property_set_bool(item_, DBUSMENU_MENUITEM_PROP_ENABLED, enabled);
}

void DbusMenuNode::setVisible(bool visible) {
    dbusmenu_menuitem_property_set_bool(item_, DBUSMENU_MENUITEM_PROP_VISIBLE, visible);
}

void DbusMenuNode::setToggle(Toggle type, bool on) {
    if (type == Toggle::none) {
        dbusmenu_menuitem_property_remove(item_, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE);
        dbusmenu_menuitem_property_remove(item_, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE);
        return;
    }
    dbusmenu_menuitem_property_set(item_, DBUSMENU_MENUITEM_PROP_TOGGLE_TYPE,
                                   type == Toggle::radio ? DBUSMENU_MENUITEM_TOGGLE_RADIO
                                                         : DBUSMENU_MENUITEM_TOGGLE_CHECK);
    dbusmenu_menuitem_property_set_int(item_, DBUSMENU_MENUITEM_PROP_TOGGLE_STATE,
                                       on ? DBUSMENU_MENUITEM_TOGGLE_STATE_CHECKED
                                          : DBUSMENU_MENUITEM_TOGGLE_STATE_UNCHECKED);
}

void DbusMenuNode::setShortcut(const std::vector<std::string>& keys) {
    if (keys.empty()) {
        dbusmenu_menuitem_property_remove(item_, DBUSMENU_MENUITEM_PROP_SHORTCUT);
        return;
    }
    GVariantBuilder inner;
    g_variant_builder_init(&inner, G_VARIANT_TYPE("as"));
    for (const auto& key : keys) g_variant_builder_add(&inner, "s", key.c_str());
    GVariantBuilder outer;
    g_variant_builder_init(&outer, G_VARIANT_TYPE("aas"));
    g_variant_builder_add_value(&outer, g_variant_builder_end(&inner));
    dbusmenu_menuitem_property_set_variant(item_, DBUSMENU_MENUITEM_PROP_SHORTCUT, g_variant_builder_end(&outer));
}

void DbusMenuNode::setIconName(const std::string& name) {
    if (name.empty()) dbusmenu_menuitem_property_remove(item_, DBUSMENU_MENUITEM_PROP_ICON_NAME);
    else dbusmenu_menuitem_property_set(item_, DBUSMENU_MENUITEM_PROP_ICON_NAME, name.c_str());
}

void DbusMenuNode::setIconPng(const std::vector<std::uint8_t>& png) {
    if (png.empty()) {
        dbusmenu_menuitem_property_remove(item_, DBUSMENU_MENUITEM_PROP_ICON_DATA);
        return;
    }
    dbusmenu_menuitem_property_set_byte_array(item_, DBUSMENU_MENUITEM_PROP_ICON_DATA, png.data(), png.size());
}

void DbusMenuNode::setAccessibleDescription(const std::string& text) {
    dbusmenu_menuitem_property_set(item_, DBUSMENU_MENUITEM_PROP_ACCESSIBLE_DESC, text.c_str());
}

void DbusMenuNode::setSubmenu(bool submenu) {
    if (submenu) dbusmenu_menuitem_property_set(item_, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY,
                                                DBUSMENU_MENUITEM_CHILD_DISPLAY_SUBMENU);
    else dbusmenu_menuitem_property_remove(item_, DBUSMENU_MENUITEM_PROP_CHILD_DISPLAY);
}

void DbusMenuNode::append(DbusMenuNode& child) { dbusmenu_menuitem_child_append(item_, child.item_); }

void DbusMenuNode::insert(DbusMenuNode& child, unsigned position) {
    dbusmenu_menuitem_child_add_position(item_, child.item_, position);
}

void DbusMenuNode::remove(DbusMenuNode& child) { dbusmenu_menuitem_child_delete(item_, child.item_); }

}  // namespace ampwell::platform::linux_
