#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef struct _DbusmenuMenuitem DbusmenuMenuitem;

namespace ampwell::platform::linux_ {

// One entry of a menu exported with the dbusmenu protocol (a DbusmenuMenuitem and its signal
// connections). Nodes form a tree by `append`/`insert`; a parent holds references to its children
// on the wire, the C++ owner keeps the node alive. Main thread only.
class DbusMenuNode {
public:
    enum class Toggle { none, checkmark, radio };

    explicit DbusMenuNode(bool separator = false);
    // Wraps the root item of a server; the node does not take it over.
    static DbusMenuNode adopt(DbusmenuMenuitem* item);
    ~DbusMenuNode();
    DbusMenuNode(DbusMenuNode&& other) noexcept;
    DbusMenuNode& operator=(DbusMenuNode&&) = delete;
    DbusMenuNode(const DbusMenuNode&) = delete;
    DbusMenuNode& operator=(const DbusMenuNode&) = delete;

    int id() const;
    DbusmenuMenuitem* raw() const { return item_; }

    void setLabel(const std::string& label);
    void setEnabled(bool enabled);
    void setVisible(bool visible);
    void setToggle(Toggle type, bool on);
    // Modifier names ("Control", "Alt", "Shift", "Super") followed by the key, e.g. {"Control", "r"}.
    void setShortcut(const std::vector<std::string>& keys);
    void setIconName(const std::string& name);
    void setIconPng(const std::vector<std::uint8_t>& png);
    void setAccessibleDescription(const std::string& text);
    // Marks the node as a submenu even while it has no children (hosts then ask AboutToShow).
    void setSubmenu(bool submenu);

    void append(DbusMenuNode& child);
    void insert(DbusMenuNode& child, unsigned position);
    void remove(DbusMenuNode& child);

    // The user picked the entry.
    std::function<void()> onClicked;
    // The host is about to show this node's children (AboutToShow, or "opened" from hosts that
    // skip AboutToShow); fill them now.
    std::function<void()> onAboutToShow;
    std::function<void()> onOpened;
    std::function<void()> onClosed;

private:
    explicit DbusMenuNode(DbusmenuMenuitem* item, bool owned);
    void connect();
    static void activated(DbusmenuMenuitem*, unsigned, void* data);
    static int aboutToShow(DbusmenuMenuitem*, void* data);
    static int event(DbusmenuMenuitem*, char* name, void* value, unsigned timestamp, void* data);

    DbusmenuMenuitem* item_ = nullptr;
    std::vector<unsigned long> handlers_;
};

}  // namespace ampwell::platform::linux_
