#include "platform/desktop/MenuItem.hpp"

#include "platform/desktop/Menu.hpp"

namespace ampwell::platform {

MenuItem::MenuItem(std::string title, Action action, std::string keyEquivalent)
    : title_(std::move(title)), action_(std::move(action)), keyEquivalent_(std::move(keyEquivalent)) {}

std::shared_ptr<MenuItem> MenuItem::separator() {
    auto item = std::make_shared<MenuItem>();
    item->isSeparator_ = true;
    item->enabled_ = false;
    return item;
}

void MenuItem::changed() {
    if (menu_) menu_->changed();
}

void MenuItem::setTitle(std::string title) {
    if (title == title_) return;
    title_ = std::move(title);
    changed();
}

void MenuItem::setAction(Action action) {
    action_ = std::move(action);
    changed();
}

void MenuItem::setTarget(std::weak_ptr<const void> target) {
    target_ = std::move(target);
    hasTarget_ = true;
}

bool MenuItem::targetIsAlive() const { return !hasTarget_ || !target_.expired(); }

void MenuItem::setKeyEquivalent(std::string key) {
    if (key == keyEquivalent_) return;
    keyEquivalent_ = std::move(key);
    changed();
}

void MenuItem::setSymbolName(std::string name) {
    if (name == symbolName_) return;
    symbolName_ = std::move(name);
    changed();
}

void MenuItem::setEnabled(bool enabled) {
    if (enabled == enabled_) return;
    enabled_ = enabled;
    changed();
}

void MenuItem::setState(CheckState state) {
    if (state == state_) return;
    state_ = state;
    changed();
}

void MenuItem::setRepresentedObject(std::any value) { representedObject_ = std::move(value); }

void MenuItem::setView(MenuView* view) {
    if (view == view_) return;
    view_ = view;
    changed();
}

void MenuItem::setSubmenu(std::shared_ptr<Menu> submenu) {
    if (submenu == submenu_) return;
    submenu_ = std::move(submenu);
    changed();
}

void MenuItem::setToolTip(std::string toolTip) {
    if (toolTip == toolTip_) return;
    toolTip_ = std::move(toolTip);
    changed();
}

bool MenuItem::perform() {
    if (isSeparator_ || !action_) return false;
    const bool enabled = menu_ ? menu_->isItemEnabled(*this) : enabled_;
    if (!enabled) return false;
    std::shared_ptr<const void> keepTarget;
    if (hasTarget_) {
        keepTarget = target_.lock();
        if (!keepTarget) return false;
    }
    // A copy, so that an action which replaces the item's action (or removes the item) is safe.
    Action action = action_;
    action(*this);
    return true;
}

}  // namespace ampwell::platform
