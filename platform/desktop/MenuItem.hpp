#pragma once

#include <any>
#include <functional>
#include <memory>
#include <string>

namespace ampwell::platform {

class Menu;
class MenuView;

// Whether an item shows a check mark.
enum class CheckState { off, on, mixed };

// One entry of a retained menu: plain state that the controller sets and the desktop shows. The
// desktop learns of every change through the owning menu's onChanged. Main thread only.
class MenuItem {
public:
    // The action receives the item that was chosen (its "sender").
    using Action = std::function<void(MenuItem& sender)>;

    explicit MenuItem(std::string title = {}, Action action = {}, std::string keyEquivalent = {});
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    // A separator line; it has no title, no action and is never chosen.
    static std::shared_ptr<MenuItem> separator();
    bool isSeparator() const { return isSeparator_; }

    const std::string& title() const { return title_; }
    void setTitle(std::string title);

    // What choosing the item does. Empty: the item does nothing when chosen.
    const Action& action() const { return action_; }
    void setAction(Action action);

    // The object the action belongs to, held weakly: once it is gone, choosing the item does
    // nothing. An item without a target runs its action unconditionally.
    void setTarget(std::weak_ptr<const void> target);
    bool hasTarget() const { return hasTarget_; }
    bool targetIsAlive() const;

    // Key equivalent, one lower-case character ("r", "q") or empty; pressed with the command key.
    const std::string& keyEquivalent() const { return keyEquivalent_; }
    void setKeyEquivalent(std::string key);

    // Name of the system symbol shown before the title ("arrow.clockwise"), or empty. A desktop
    // maps the name to its own icon theme and may show nothing.
    const std::string& symbolName() const { return symbolName_; }
    void setSymbolName(std::string name);

    // Taken as the item's state only while its menu does not enable items automatically.
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);

    CheckState state() const { return state_; }
    void setState(CheckState state);

    // A value the controller attaches to the item and reads back in the action (a display mode,
    // a wattage, a reset target). Not shown.
    const std::any& representedObject() const { return representedObject_; }
    void setRepresentedObject(std::any value);

    // A custom-drawn view shown instead of the title; owned by the controller, which keeps it
    // alive as long as the item is in a menu. Null for an ordinary item.
    MenuView* view() const { return view_; }
    void setView(MenuView* view);

    // The menu this item opens. An item with a submenu has no action of its own.
    const std::shared_ptr<Menu>& submenu() const { return submenu_; }
    void setSubmenu(std::shared_ptr<Menu> submenu);

    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string toolTip);

    // The menu that holds the item, or null.
    Menu* menu() const { return menu_; }

    // Chooses the item as a user would: runs the action when the item can be chosen (not a
    // separator, enabled as its menu decides, an action, and a live target when it has one).
    // Returns whether the action ran. The caller closes the open menus first, as a desktop does.
    bool perform();

private:
    friend class Menu;
    void changed();

    std::string title_;
    Action action_;
    std::weak_ptr<const void> target_;
    bool hasTarget_ = false;
    std::string keyEquivalent_;
    std::string symbolName_;
    bool enabled_ = true;
    CheckState state_ = CheckState::off;
    std::any representedObject_;
    MenuView* view_ = nullptr;
    std::shared_ptr<Menu> submenu_;
    std::string toolTip_;
    bool isSeparator_ = false;
    Menu* menu_ = nullptr;
};

}  // namespace ampwell::platform
