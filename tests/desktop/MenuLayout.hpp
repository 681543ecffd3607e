#pragma once

#include <gio/gio.h>

#include <map>
#include <string>
#include <vector>

namespace ampwell::tests {

// One entry of a dbusmenu layout as a host reads it with GetLayout.
struct LayoutEntry {
    int id = 0;
    std::string label;
    std::map<std::string, std::string> properties;  // every property, printed as GVariant text
    std::vector<LayoutEntry> children;

    // The property's printed value, or "" when absent.
    std::string property(const std::string& name) const;
    // The first child whose label is `label`, or nullptr.
    const LayoutEntry* child(const std::string& label) const;
};

// Reads the whole layout of the dbusmenu object at `name`/`path`; an entry with id -1 when it
// cannot be read.
LayoutEntry readLayout(GDBusConnection* peer, const std::string& name, const std::string& path);

// Sends the host's event (`clicked`, `opened`, `closed`) for entry `id`; false when refused.
bool sendMenuEvent(GDBusConnection* peer, const std::string& name, const std::string& path, int id,
                   const std::string& event);

// Sends AboutToShow for entry `id`; false when refused.
bool sendAboutToShow(GDBusConnection* peer, const std::string& name, const std::string& path, int id);

}  // namespace ampwell::tests
