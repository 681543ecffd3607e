#pragma once

#include "platform/desktop/MenuItem.hpp"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ampwell::platform {

class Menu;

// Told when a menu is about to be shown and when it has been dismissed. Main thread.
class MenuDelegate {
public:
    virtual ~MenuDelegate() = default;
    // Runs before the menu is shown; what it changes in the menu is what the user sees.
    virtual void menuWillOpen(Menu& menu) = 0;
    // Runs after the menu has been dismissed, before the action of a chosen item runs.
    virtual void menuDidClose(Menu& menu) = 0;
};

// A retained menu: an ordered list of items that the controller edits and the desktop shows.
// Desktops open and close it through open() and close(), which run the delegate's callbacks, and
// choose items through MenuItem::perform(). Main thread only.
class Menu {
public:
    explicit Menu(std::string title = {});
    ~Menu();
    Menu(const Menu&) = delete;
    Menu& operator=(const Menu&) = delete;

    const std::string& title() const { return title_; }

    // A stable name desktops and scripts use for the menu ("main", "reset"); not shown.
    const std::string& identifier() const { return identifier_; }
    void setIdentifier(std::string identifier);

    const std::vector<std::shared_ptr<MenuItem>>& items() const { return items_; }
    // An item belongs to at most one menu; adding one that is in another menu moves it.
    void addItem(std::shared_ptr<MenuItem> item);
    // `index` past the end appends.
    void insertItem(std::shared_ptr<MenuItem> item, std::size_t index);
    // Does nothing when the item is not in this menu.
    void removeItem(const MenuItem& item);
    void removeAllItems();
    std::optional<std::size_t> indexOf(const MenuItem& item) const;

    // The delegate is held weakly; a menu whose delegate is gone opens and closes silently.
    void setDelegate(std::weak_ptr<MenuDelegate> delegate);

    // With automatic enabling an item is enabled when it has an action or a submenu; without it,
    // the item's own isEnabled() decides.
    bool autoenablesItems() const { return autoenablesItems_; }
    void setAutoenablesItems(bool on);
    // Whether the item, which belongs to this menu, can be chosen (never for a separator).
    bool isItemEnabled(const MenuItem& item) const;

    // Narrowest width the menu is shown with, in points; 0 for none.
    double minimumWidth() const { return minimumWidth_; }
    void setMinimumWidth(double points);

    bool isOpen() const { return isOpen_; }
    // Marks the menu shown and runs the delegate's menuWillOpen. Does nothing when already open.
    void open();
    // Marks the menu dismissed and runs the delegate's menuDidClose. Does nothing when not open.
    void close();

    // The first item with this title, or null. Separators have no title.
    MenuItem* itemWithTitle(const std::string& title) const;
    // Follows a path of titles from this menu through submenus: {"偏好设置", "菜单栏显示", "iPad 功率"}.
    // Null when some title is not found or an inner step has no submenu.
    MenuItem* itemAtPath(const std::vector<std::string>& titles) const;

    // Set by the desktop that shows the menu: called after every change of the item list or of
    // any item's state. May be empty.
    std::function<void()> onChanged;

private:
    friend class MenuItem;
    void changed();
    void adopt(MenuItem& item);

    std::string title_;
    std::string identifier_;
    std::vector<std::shared_ptr<MenuItem>> items_;
    std::weak_ptr<MenuDelegate> delegate_;
    bool autoenablesItems_ = true;
    double minimumWidth_ = 0;
    bool isOpen_ = false;
};

}  // namespace ampwell::platform
