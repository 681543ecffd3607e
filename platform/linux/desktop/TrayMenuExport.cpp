#include "platform/linux/desktop/TrayMenuExport.hpp"

#include "platform/desktop/MenuView.hpp"
#include "platform/drawing/Symbols.hpp"
#include "platform/drawing/cairo/CairoCanvas.hpp"
#include "platform/linux/desktop/IconRaster.hpp"

#include <glib.h>

#include <algorithm>
#include <string>
#include <typeinfo>

namespace ampwell::platform::linux_ {

namespace {

std::string field(const nlohmann::json& json, const char* key) {
    const auto it = json.find(key);
    return it != json.end() && it->is_string() ? it->get<std::string>() : std::string();
}

std::string joinNonEmpty(const std::vector<std::string>& parts) {
    std::string out;
    for (const auto& part : parts) {
        if (part.empty()) continue;
        if (!out.empty()) out += " · ";
        out += part;
    }
    return out;
}

// Choices that carry a value (a display mode, a wattage) form a radio group with their siblings.
bool carriesChoice(const MenuItem& item) {
    const auto& value = item.representedObject();
    return value.has_value() && (value.type() == typeid(std::string) || value.type() == typeid(double));
}

}  // namespace

TrayMenuExport::TrayMenuExport(const std::string& path) : server_(path) {
    server_.root().onAboutToShow = [this] {
        if (menu_) opened(*menu_);
    };
    server_.root().onOpened = server_.root().onAboutToShow;
    server_.root().onClosed = [this] {
        if (menu_) closed(*menu_);
    };
}

TrayMenuExport::~TrayMenuExport() {
    *alive_ = false;
    if (idleSource_) g_source_remove(idleSource_);
    setMenu(nullptr);
}

std::string TrayMenuExport::escapeLabel(const std::string& title) {
    std::string out;
    for (char c : title) {
        out += c;
        if (c == '_') out += '_';
    }
    return out;
}

std::string TrayMenuExport::viewText(const MenuView& view) {
    const nlohmann::json described = view.describe();
    const std::string kind = field(described, "kind");
    if (kind == "overview") return joinNonEmpty({field(described, "power"), field(described, "status")});
    if (kind == "card") {
        return joinNonEmpty({field(described, "name"), field(described, "power"), field(described, "battery")});
    }
    if (kind == "footnote") return field(described, "trend");
    return view.accessibilityLabel();
}

void TrayMenuExport::setMenu(std::shared_ptr<Menu> menu) {
    menu_ = std::move(menu);
    sync();
}

void TrayMenuExport::scheduleSync() {
    if (idleSource_) return;
    idleSource_ = g_idle_add_full(G_PRIORITY_DEFAULT, [](gpointer data) -> gboolean {
        auto* self = static_cast<TrayMenuExport*>(data);
        self->idleSource_ = 0;
        self->sync();
        return G_SOURCE_REMOVE;
    }, this, nullptr);
}

void TrayMenuExport::wire(Menu& menu) {
    menu.onChanged = [this] { scheduleSync(); };
}

void TrayMenuExport::sync() {
    for (auto& [key, entry] : entries_) entry.seen = false;
    if (menu_) {
        wire(*menu_);
        syncMenu(*menu_, server_.root());
    } else {
        std::vector<const MenuItem*> none;
        order_[&server_.root()] = none;
    }
    // Entries whose item left every shown menu (or no longer exists) leave the export; their
    // children are detached first so that no child keeps a parent that is gone.
    for (auto& [key, entry] : entries_) {
        if (entry.seen) continue;
        auto children = order_.find(entry.node.get());
        if (children == order_.end()) continue;
        for (const MenuItem* child : children->second) {
            auto it = entries_.find(child);
            if (it != entries_.end()) entry.node->remove(*it->second.node);
        }
        children->second.clear();
    }
    for (auto it = entries_.begin(); it != entries_.end();) {
        if (it->second.seen) {
            ++it;
            continue;
        }
        order_.erase(it->second.node.get());
        it = entries_.erase(it);
    }
}

void TrayMenuExport::setExtraItem(std::shared_ptr<MenuItem> item) {
    extraItem_ = std::move(item);
    scheduleSync();
}

void TrayMenuExport::syncMenu(Menu& menu, DbusMenuNode& parent) {
    std::vector<const MenuItem*> wanted;
    std::vector<std::shared_ptr<MenuItem>> items = menu.items();
    if (extraItem_ && &parent == &server_.root() && !items.empty()) items.insert(items.end() - 1, extraItem_);
    for (const auto& shared : items) {
        MenuItem& item = *shared;
        auto found = entries_.find(&item);
        if (found != entries_.end() && found->second.item.lock() != shared) {
            // Another item now lives at the address of one that is gone.
            order_.erase(found->second.node.get());
            entries_.erase(found);
            found = entries_.end();
        }
        if (found == entries_.end()) {
            Entry entry;
            entry.item = shared;
            entry.node = std::make_unique<DbusMenuNode>(item.isSeparator());
            std::weak_ptr<MenuItem> weak = shared;
            if (!item.isSeparator()) {
                entry.node->onClicked = [this, weak] { chooseSoon(weak); };
            }
            found = entries_.emplace(&item, std::move(entry)).first;
        }
        Entry& entry = found->second;
        entry.seen = true;
        updateNode(entry, item, menu);
        if (const auto& submenu = item.submenu()) {
            wire(*submenu);
            std::weak_ptr<Menu> weakMenu = submenu;
            entry.node->onAboutToShow = [this, weakMenu] {
                if (auto m = weakMenu.lock()) opened(*m);
            };
            entry.node->onOpened = entry.node->onAboutToShow;
            entry.node->onClosed = [this, weakMenu] {
                if (auto m = weakMenu.lock()) closed(*m);
            };
            syncMenu(*submenu, *entry.node);
        }
        wanted.push_back(&item);
    }
    auto& current = order_[&parent];
    if (current == wanted) return;
    for (const MenuItem* item : current) {
        auto it = entries_.find(item);
        if (it != entries_.end()) parent.remove(*it->second.node);
    }
    for (const MenuItem* item : wanted) parent.append(*entries_.at(item).node);
    current = wanted;
}

void TrayMenuExport::updateNode(Entry& entry, MenuItem& item, Menu& menu) {
    DbusMenuNode& node = *entry.node;
    if (item.isSeparator()) return;
    if (MenuView* view = item.view()) {
        entry.viewLabel = viewText(*view);
        entry.viewDescription = view->accessibilityLabel();
        node.setLabel(escapeLabel(entry.viewLabel));
        node.setAccessibleDescription(entry.viewDescription);
        node.setVisible(!entry.viewLabel.empty());
        node.setEnabled(true);
        view->onNeedsDisplay = [this, key = &item, view] {
            const auto found = entries_.find(key);
            if (found == entries_.end() || found->second.viewLabel != viewText(*view) ||
                found->second.viewDescription != view->accessibilityLabel())
                scheduleSync();
            if (onViewsChanged) onViewsChanged();
        };
        node.onClicked = [this] {
            if (onViewClicked) onViewClicked();
        };
        return;
    }
    node.setLabel(escapeLabel(item.title()));
    node.setEnabled(menu.isItemEnabled(item));
    node.setVisible(true);
    node.setSubmenu(item.submenu() != nullptr);
    node.setShortcut(item.keyEquivalent().empty() ? std::vector<std::string>{}
                                                  : std::vector<std::string>{"Control", item.keyEquivalent()});
    if (!item.toolTip().empty()) node.setAccessibleDescription(item.toolTip());
    const bool on = item.state() == CheckState::on;
    entry.everChecked = entry.everChecked || on;
    std::size_t choices = 0;
    for (const auto& sibling : menu.items()) choices += carriesChoice(*sibling) ? 1 : 0;
    if (carriesChoice(item) && choices >= 2) node.setToggle(DbusMenuNode::Toggle::radio, on);
    // A switch (an action of its own, no value, inside a submenu) shows its box even while off.
    else if (entry.everChecked || (item.action() && !item.representedObject().has_value() && &menu != menu_.get()))
        node.setToggle(DbusMenuNode::Toggle::checkmark, on);
    else node.setToggle(DbusMenuNode::Toggle::none, false);
    node.setIconPng(item.symbolName().empty() ? std::vector<std::uint8_t>{} : symbolPng(item.symbolName()));
}

const std::vector<std::uint8_t>& TrayMenuExport::symbolPng(const std::string& name) {
    auto found = symbols_.find(name);
    if (found != symbols_.end()) return found->second;
    // A mid grey reads on light and dark menus alike.
    auto png = iconPngBytes(32, 16, 16, [&](cairo_t* cr) {
        cairo::CairoCanvas canvas(cr, Appearance::light);
        return drawSymbol(canvas, name, Rect{1, 1, 14, 14}, Color::white(0.5));
    });
    return symbols_.emplace(name, std::move(png)).first->second;
}

std::shared_ptr<Menu> TrayMenuExport::shared(Menu& menu) const {
    if (&menu == menu_.get()) return menu_;
    for (const auto& [key, entry] : entries_) {
        auto item = entry.item.lock();
        if (item && item->submenu().get() == &menu) return item->submenu();
    }
    return nullptr;
}

void TrayMenuExport::opened(Menu& menu) {
    if (menu.isOpen()) return;
    openMenus_.push_back(shared(menu));
    menu.open();
    sync();  // the delegate may have changed the menu; the host reads the layout right after
}

void TrayMenuExport::chooseSoon(const std::weak_ptr<MenuItem>& item) {
    // Run outside the library's event handling: the action may open a modal dialog.
    struct Call {
        std::weak_ptr<bool> alive;
        TrayMenuExport* self;
        std::weak_ptr<MenuItem> item;
    };
    g_idle_add_full(G_PRIORITY_DEFAULT, [](gpointer data) -> gboolean {
        auto* call = static_cast<Call*>(data);
        if (!call->alive.expired()) call->self->choose(call->item);
        return G_SOURCE_REMOVE;
    }, new Call{alive_, this, item}, [](gpointer data) { delete static_cast<Call*>(data); });
}

void TrayMenuExport::closed(Menu& menu) {
    if (!menu.isOpen()) return;
    // Close what was opened inside it first, innermost first.
    while (!openMenus_.empty()) {
        auto last = openMenus_.back().lock();
        openMenus_.pop_back();
        if (!last) continue;
        last->close();
        if (last.get() == &menu) break;
    }
    menu.close();
    scheduleSync();
}

void TrayMenuExport::choose(const std::weak_ptr<MenuItem>& weak) {
    auto item = weak.lock();
    if (!item) return;
    while (!openMenus_.empty()) {
        auto last = openMenus_.back().lock();
        openMenus_.pop_back();
        if (last) last->close();
    }
    if (menu_) menu_->close();
    item->perform();
}

}  // namespace ampwell::platform::linux_
