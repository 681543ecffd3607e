#pragma once

#include "platform/desktop/Menu.hpp"
#include "platform/linux/desktop/DbusMenuServer.hpp"

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ampwell::platform::linux_ {

// Shows a retained Menu (and its submenus) through the dbusmenu protocol, as the tray host's menu.
// Every item becomes an exported entry with its title, enabled state, check mark (a radio group
// for choices that carry a value, a check box otherwise), key equivalent (with Control) and
// symbol; a custom-drawn view becomes a text entry with what it shows; a submenu is filled when
// the host is about to show it. The host's events drive the menus the way a user would: showing
// opens them, dismissing closes them, choosing closes every open menu and then performs the item.
// Main thread only.
class TrayMenuExport {
public:
    explicit TrayMenuExport(const std::string& path = DbusMenuServer::kDefaultPath);
    ~TrayMenuExport();
    TrayMenuExport(const TrayMenuExport&) = delete;
    TrayMenuExport& operator=(const TrayMenuExport&) = delete;

    const std::string& path() const { return server_.path(); }

    // The menu to show; nullptr shows an empty menu.
    void setMenu(std::shared_ptr<Menu> menu);
    // Brings the exported entries up to date now (changes are otherwise applied from an idle
    // callback, once per burst of changes).
    void sync();

    // A view entry was clicked (hosts without Activate use it to open the drawn panel).
    std::function<void()> onViewClicked;
    // A view asked to be drawn again.
    std::function<void()> onViewsChanged;
    // An entry of the desktop's own, exported before the shown menu's last item; nullptr: none.
    void setExtraItem(std::shared_ptr<MenuItem> item);

    // What an item's view shows as one line of text.
    static std::string viewText(const MenuView& view);
    // dbusmenu reads "_" as a mnemonic marker; a literal one is written twice.
    static std::string escapeLabel(const std::string& title);

private:
    struct Entry {
        std::weak_ptr<MenuItem> item;
        std::unique_ptr<DbusMenuNode> node;
        bool everChecked = false;
        bool seen = false;
        // For a view row: the text and description last exported, so that a redraw request that
        // changes neither (every refresh asks) costs no walk of the menu and no D-Bus traffic.
        std::string viewLabel;
        std::string viewDescription;
    };

    void scheduleSync();
    void syncMenu(Menu& menu, DbusMenuNode& parent);
    void updateNode(Entry& entry, MenuItem& item, Menu& menu);
    void wire(Menu& menu);
    void opened(Menu& menu);
    void closed(Menu& menu);
    void choose(const std::weak_ptr<MenuItem>& item);
    void chooseSoon(const std::weak_ptr<MenuItem>& item);
    std::shared_ptr<Menu> shared(Menu& menu) const;
    const std::vector<std::uint8_t>& symbolPng(const std::string& name);

    DbusMenuServer server_;
    std::shared_ptr<Menu> menu_;
    std::shared_ptr<MenuItem> extraItem_;
    std::map<const MenuItem*, Entry> entries_;
    std::map<const DbusMenuNode*, std::vector<const MenuItem*>> order_;  // what each node shows now
    std::map<std::string, std::vector<std::uint8_t>> symbols_;
    std::vector<std::weak_ptr<Menu>> openMenus_;  // outermost first
    unsigned idleSource_ = 0;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace ampwell::platform::linux_
