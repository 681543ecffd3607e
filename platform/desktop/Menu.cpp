#include "platform/desktop/Menu.hpp"

#include <algorithm>

namespace ampwell::platform {

Menu::Menu(std::string title) : title_(std::move(title)) {}

Menu::~Menu() {
    for (const auto& item : items_) item->menu_ = nullptr;
}

void Menu::setIdentifier(std::string identifier) { identifier_ = std::move(identifier); }

void Menu::changed() {
    if (onChanged) onChanged();
}

void Menu::adopt(MenuItem& item) {
    if (item.menu_ && item.menu_ != this) item.menu_->removeItem(item);
    item.menu_ = this;
}

void Menu::addItem(std::shared_ptr<MenuItem> item) { insertItem(std::move(item), items_.size()); }

void Menu::insertItem(std::shared_ptr<MenuItem> item, std::size_t index) {
    if (!item) return;
    if (item->menu_ == this) removeItem(*item);
    adopt(*item);
    index = std::min(index, items_.size());
    items_.insert(items_.begin() + static_cast<std::ptrdiff_t>(index), std::move(item));
    changed();
}

void Menu::removeItem(const MenuItem& item) {
    const auto found = std::find_if(items_.begin(), items_.end(),
                                    [&](const auto& candidate) { return candidate.get() == &item; });
    if (found == items_.end()) return;
    (*found)->menu_ = nullptr;
    items_.erase(found);
    changed();
}

void Menu::removeAllItems() {
    if (items_.empty()) return;
    for (const auto& item : items_) item->menu_ = nullptr;
    items_.clear();
    changed();
}

std::optional<std::size_t> Menu::indexOf(const MenuItem& item) const {
    for (std::size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == &item) return i;
    return std::nullopt;
}

void Menu::setDelegate(std::weak_ptr<MenuDelegate> delegate) { delegate_ = std::move(delegate); }

void Menu::setAutoenablesItems(bool on) {
    if (on == autoenablesItems_) return;
    autoenablesItems_ = on;
    changed();
}

bool Menu::isItemEnabled(const MenuItem& item) const {
    if (item.isSeparator()) return false;
    if (autoenablesItems_) return static_cast<bool>(item.action()) || item.submenu() != nullptr;
    return item.isEnabled();
}

void Menu::setMinimumWidth(double points) {
    if (points == minimumWidth_) return;
    minimumWidth_ = points;
    changed();
}

void Menu::open() {
    if (isOpen_) return;
    isOpen_ = true;
    if (auto delegate = delegate_.lock()) delegate->menuWillOpen(*this);
}

void Menu::close() {
    if (!isOpen_) return;
    isOpen_ = false;
    if (auto delegate = delegate_.lock()) delegate->menuDidClose(*this);
}

MenuItem* Menu::itemWithTitle(const std::string& title) const {
    for (const auto& item : items_)
        if (!item->isSeparator() && item->title() == title) return item.get();
    return nullptr;
}

MenuItem* Menu::itemAtPath(const std::vector<std::string>& titles) const {
    const Menu* menu = this;
    MenuItem* item = nullptr;
    for (const auto& title : titles) {
        if (!menu) return nullptr;
        item = menu->itemWithTitle(title);
        if (!item) return nullptr;
        menu = item->submenu().get();
    }
    return item;
}

}  // namespace ampwell::platform
