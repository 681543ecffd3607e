#pragma once

#include "platform/base/EventStream.hpp"
#include "platform/desktop/Menu.hpp"
#include "platform/desktop/UserScript.hpp"
#include "platform/desktop/headless/HeadlessApplication.hpp"
#include "platform/desktop/headless/HeadlessNotificationCenter.hpp"
#include "platform/desktop/headless/HeadlessStatusBar.hpp"

#include <memory>
#include <vector>

namespace ampwell::platform::headless {

// The scripted user's hands: carries out each UserAction on the retained model the way a desktop
// does for a person. Opening a menu runs its delegate and then tells a "menu" event ("menu": the
// menu's identifier, "items"), and closing it a "menu-closed" event; menus without an identifier
// (submenus passed on the way to an item) open and close silently. A click opens the menus along its title path, and when the path
// ends at an item that can be chosen it tells a "click" event ("path"), closes every open menu,
// innermost first, and chooses the item. A path that reaches no enabled item is a miss: a "click"
// event with "missed" true and "origin" (where the script wrote it), and the menus the click
// opened close again. Main thread only.
class HeadlessUser {
public:
    HeadlessUser(EventStream& events, HeadlessStatusBar& statusBar, HeadlessNotificationCenter& notifications,
                 HeadlessApplication& application);

    void perform(const UserAction& action);

private:
    // The menu of the first status item that has one; null before the controller made it.
    std::shared_ptr<Menu> mainMenu() const;
    // Opens `menu` unless it is open; returns whether this call opened it.
    bool open(const std::shared_ptr<Menu>& menu);
    // Closes the open menus from the innermost down to (and with) the one at `depth`.
    void closeFrom(std::size_t depth);
    void click(const UserAction& action);
    void answerNotification(const UserAction& action);

    EventStream& events_;
    HeadlessStatusBar& statusBar_;
    HeadlessNotificationCenter& notifications_;
    HeadlessApplication& application_;
    std::vector<std::shared_ptr<Menu>> openMenus_;  // outermost first
};

}  // namespace ampwell::platform::headless
