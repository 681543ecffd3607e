#include "platform/linux/desktop/TrayPanel.hpp"

#include "platform/desktop/MenuView.hpp"
#include "platform/drawing/Symbols.hpp"
#include "platform/drawing/cairo/CairoCanvas.hpp"
#include "platform/linux/desktop/GtkSession.hpp"

namespace ampwell::platform::linux_ {

namespace {

Appearance appearanceOf(bool dark) { return dark ? Appearance::dark : Appearance::light; }

std::string shortcutText(const MenuItem& item) {
    if (item.submenu()) return "›";
    if (item.keyEquivalent().empty()) return "";
    std::string key = item.keyEquivalent();
    for (auto& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return "Ctrl+" + key;
}

}  // namespace

PanelWindow& TrayPanel::window() {
    if (!window_) {
        window_ = std::make_unique<PanelWindow>();
        window_->onShown = [this] {
            if (menu_) menu_->open();
        };
        window_->onHidden = [this] { closeMenus(); };
    }
    return *window_;
}

void TrayPanel::hide() {
    if (window_) window_->hide();
}

bool TrayPanel::isShown() const { return window_ && window_->isShown(); }

void TrayPanel::toggle(const std::shared_ptr<Menu>& menu, int x, int y) {
    if (isShown()) {
        hide();
        return;
    }
    if (!menu || !gtk_.ready()) return;
    menu_ = menu;
    // Open first: what the delegate changes when the menu opens is what the panel shows.
    menu_->open();
    window().show(rows(*menu_), x, y);
}

void TrayPanel::redraw() {
    if (isShown()) window_->redraw();
}

void TrayPanel::closeMenus() {
    while (!openSubmenus_.empty()) {
        auto last = openSubmenus_.back().lock();
        openSubmenus_.pop_back();
        if (last) last->close();
    }
    if (menu_) menu_->close();
}

void TrayPanel::choose(const std::weak_ptr<MenuItem>& weak) {
    hide();  // closes the open menus
    if (auto item = weak.lock()) item->perform();
}

std::vector<PanelRow> TrayPanel::rows(Menu& menu) {
    std::vector<PanelRow> out;
    std::vector<std::shared_ptr<MenuItem>> items = menu.items();
    if (extraItem_ && !items.empty()) items.insert(items.end() - 1, extraItem_);
    for (const auto& item : items) {
        PanelRow row;
        if (MenuView* view = item->view()) {
            row.kind = PanelRow::Kind::drawn;
            row.width = view->width();
            row.height = view->height();
            row.tooltip = view->tooltip();
            row.draw = [view](cairo_t* cr, bool dark) {
                cairo::CairoCanvas canvas(cr, appearanceOf(dark));
                view->draw(canvas, true);
            };
        } else if (item->isSeparator()) {
            row.kind = PanelRow::Kind::separator;
        } else {
            row.title = item->title();
            row.shortcut = shortcutText(*item);
            row.enabled = menu.isItemEnabled(*item);
            row.tooltip = item->toolTip();
            if (!item->symbolName().empty()) {
                std::string symbol = item->symbolName();
                row.icon = [symbol](cairo_t* cr, bool dark) {
                    cairo::CairoCanvas canvas(cr, appearanceOf(dark));
                    drawSymbol(canvas, symbol, Rect{1, 1, 14, 14}, Color::role(ColorRole::secondaryLabel));
                };
            }
            std::weak_ptr<MenuItem> weak = item;
            if (auto submenu = item->submenu()) {
                row.submenu = [this, submenu] { return entries(submenu); };
            } else {
                row.onClick = [this, weak] { choose(weak); };
            }
        }
        out.push_back(std::move(row));
    }
    return out;
}

std::vector<PanelMenuEntry> TrayPanel::entries(const std::shared_ptr<Menu>& menu) {
    if (!menu->isOpen()) {
        menu->open();  // the reset targets are read now
        openSubmenus_.push_back(menu);
    }
    std::vector<PanelMenuEntry> out;
    std::size_t choices = 0;
    for (const auto& item : menu->items()) choices += item->representedObject().has_value() ? 1 : 0;
    for (const auto& item : menu->items()) {
        PanelMenuEntry entry;
        entry.separator = item->isSeparator();
        entry.title = item->title();
        entry.enabled = menu->isItemEnabled(*item);
        entry.checked = item->state() == CheckState::on;
        entry.radio = item->representedObject().has_value() && choices >= 2 &&
                      (item->representedObject().type() == typeid(std::string) ||
                       item->representedObject().type() == typeid(double));
        if (auto submenu = item->submenu()) {
            entry.submenu = [this, submenu] { return entries(submenu); };
        } else if (!entry.separator) {
            std::weak_ptr<MenuItem> weak = item;
            entry.onClick = [this, weak] { choose(weak); };
        }
        out.push_back(std::move(entry));
    }
    return out;
}

}  // namespace ampwell::platform::linux_
