#include "MenuLayout.hpp"

#include "BusHelpers.hpp"

namespace ampwell::tests {

namespace {

constexpr const char* kInterface = "com.canonical.dbusmenu";

LayoutEntry parse(GVariant* node) {
    LayoutEntry out;
    gint32 id = 0;
    GVariant* props = nullptr;
    GVariant* children = nullptr;
    g_variant_get(node, "(i@a{sv}@av)", &id, &props, &children);
    out.id = id;
    GVariantIter iter;
    g_variant_iter_init(&iter, props);
    const gchar* key = nullptr;
    GVariant* value = nullptr;
    while (g_variant_iter_next(&iter, "{&sv}", &key, &value)) {
        if (std::string(key) == "label") out.label = g_variant_get_string(value, nullptr);
        gchar* printed = g_variant_print(value, FALSE);
        out.properties[key] = printed;
        g_free(printed);
        g_variant_unref(value);
    }
    g_variant_iter_init(&iter, children);
    GVariant* child = nullptr;
    while (g_variant_iter_next(&iter, "v", &child)) {
        out.children.push_back(parse(child));
        g_variant_unref(child);
    }
    g_variant_unref(props);
    g_variant_unref(children);
    return out;
}

}  // namespace

std::string LayoutEntry::property(const std::string& name) const {
    const auto it = properties.find(name);
    return it == properties.end() ? "" : it->second;
}

const LayoutEntry* LayoutEntry::child(const std::string& wanted) const {
    for (const auto& c : children)
        if (c.label == wanted) return &c;
    return nullptr;
}

LayoutEntry readLayout(GDBusConnection* peer, const std::string& name, const std::string& path) {
    GVariant* reply = nullptr;
    spinUntil([&] {
        reply = callAndWait(peer, name, path, kInterface, "GetLayout",
                            g_variant_new("(ii@as)", 0, -1, g_variant_new_strv(nullptr, 0)));
        return reply != nullptr;
    });
    if (!reply) return LayoutEntry{-1, "", {}, {}};
    GVariant* root = g_variant_get_child_value(reply, 1);
    LayoutEntry out = parse(root);
    g_variant_unref(root);
    g_variant_unref(reply);
    return out;
}

bool sendMenuEvent(GDBusConnection* peer, const std::string& name, const std::string& path, int id,
                   const std::string& event) {
    GVariant* reply = callAndWait(peer, name, path, kInterface, "Event",
                                  g_variant_new("(isvu)", id, event.c_str(), g_variant_new_int32(0), 0u));
    if (reply) g_variant_unref(reply);
    return reply != nullptr;
}

bool sendAboutToShow(GDBusConnection* peer, const std::string& name, const std::string& path, int id) {
    GVariant* reply = callAndWait(peer, name, path, kInterface, "AboutToShow", g_variant_new("(i)", id));
    if (reply) g_variant_unref(reply);
    return reply != nullptr;
}

}  // namespace ampwell::tests
