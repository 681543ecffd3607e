#pragma once

#include "platform/desktop/Menu.hpp"
#include "platform/linux/desktop/GtkSession.hpp"
#include "platform/linux/desktop/PanelWindow.hpp"

#include <memory>
#include <vector>

namespace ampwell::platform::linux_ {

// The drawn panel of a retained menu: the menu's views drawn by their own code on the canvas,
// then its other items as buttons (submenus pop up as GTK menus, filled when they open). While
// the panel is shown the menu counts as open; choosing a button closes the panel and every open
// menu, innermost first, and then performs the item. Main thread; needs an open display.
class TrayPanel {
public:
    explicit TrayPanel(GtkSession& gtk) : gtk_(gtk) {}

    // Shows the panel for `menu` near (x, y) (the pointer when both are 0), or hides it when it
    // is shown already: a second click on the tray item closes it, as it would a menu.
    void toggle(const std::shared_ptr<Menu>& menu, int x, int y);
    void hide();
    bool isShown() const;
    // The views changed: draw them again while shown.
    void redraw();
    // A button of the desktop's own, shown before the menu's last item; nullptr: none.
    void setExtraItem(std::shared_ptr<MenuItem> item) { extraItem_ = std::move(item); }

private:
    std::vector<PanelRow> rows(Menu& menu);
    std::vector<PanelMenuEntry> entries(const std::shared_ptr<Menu>& menu);
    void closeMenus();
    void choose(const std::weak_ptr<MenuItem>& item);

    // Made on the first click: until the panel is wanted, GTK loads no theme and no window exists.
    PanelWindow& window();

    GtkSession& gtk_;
    std::unique_ptr<PanelWindow> window_;
    std::shared_ptr<Menu> menu_;
    std::shared_ptr<MenuItem> extraItem_;
    std::vector<std::weak_ptr<Menu>> openSubmenus_;
};

}  // namespace ampwell::platform::linux_
