#include "platform/desktop/headless/HeadlessUser.hpp"

#include "platform/base/Translation.hpp"

#include "platform/desktop/headless/MenuDescription.hpp"

#include <algorithm>

namespace ampwell::platform::headless {
namespace {

constexpr const char* kResetMenu = "reset";


std::shared_ptr<MenuItem> itemTitled(const Menu& menu, const std::string& title) {
    for (const auto& item : menu.items())
        if (!item->isSeparator() && item->title() == title) return item;
    return nullptr;
}

// The submenu with this identifier, searched depth first below `menu`.
std::shared_ptr<Menu> submenuNamed(const Menu& menu, const std::string& identifier) {
    for (const auto& item : menu.items()) {
        if (!item->submenu()) continue;
        if (item->submenu()->identifier() == identifier) return item->submenu();
        if (auto found = submenuNamed(*item->submenu(), identifier)) return found;
    }
    return nullptr;
}

}  // namespace

HeadlessUser::HeadlessUser(EventStream& events, HeadlessStatusBar& statusBar, HeadlessNotificationCenter& notifications,
                           HeadlessApplication& application)
    : events_(events), statusBar_(statusBar), notifications_(notifications), application_(application) {}

std::shared_ptr<Menu> HeadlessUser::mainMenu() const {
    for (const auto& item : statusBar_.items())
        if (item->menu()) return item->menu();
    return nullptr;
}

bool HeadlessUser::open(const std::shared_ptr<Menu>& menu) {
    if (std::find(openMenus_.begin(), openMenus_.end(), menu) != openMenus_.end()) return false;
    openMenus_.push_back(menu);
    menu->open();
    // A submenu on the way to an item (the preferences) is passed through, not looked at.
    if (!menu->identifier().empty())
        events_.emit("menu", {{"menu", menu->identifier()}, {"items", describeMenuItems(*menu)}});
    return true;
}

void HeadlessUser::closeFrom(std::size_t depth) {
    while (openMenus_.size() > depth) {
        const auto menu = openMenus_.back();
        openMenus_.pop_back();
        menu->close();
        if (!menu->identifier().empty()) events_.emit("menu-closed", {{"menu", menu->identifier()}});
    }
}

void HeadlessUser::perform(const UserAction& action) {
    switch (action.kind) {
    case UserAction::Kind::openMenu:
        if (auto menu = mainMenu()) open(menu);
        return;
    case UserAction::Kind::closeMenu: closeFrom(0); return;
    case UserAction::Kind::openResetMenu:
        if (auto menu = mainMenu()) {
            open(menu);
            if (auto reset = submenuNamed(*menu, kResetMenu)) open(reset);
        }
        return;
    case UserAction::Kind::click: click(action); return;
    case UserAction::Kind::answerNotification: answerNotification(action); return;
    case UserAction::Kind::quit:
        closeFrom(0);
        application_.terminate();
        return;
    }
}

void HeadlessUser::click(const UserAction& action) {
    const std::size_t openBefore = openMenus_.size();
    // A script names items by their titles in the original language; the menu shows them in the
    // user's, and the user clicks what is shown.
    std::vector<std::string> titlePath;
    for (const auto& title : action.titlePath) titlePath.emplace_back(tr(title.c_str()));
    std::shared_ptr<MenuItem> chosen;
    std::shared_ptr<Menu> menu = mainMenu();
    if (menu) open(menu);
    for (std::size_t i = 0; menu && i < titlePath.size(); ++i) {
        auto item = itemTitled(*menu, titlePath[i]);
        if (!item || !menu->isItemEnabled(*item)) break;
        if (i + 1 == titlePath.size()) {
            if (!item->submenu()) chosen = item;  // an item with a submenu only opens it
            break;
        }
        menu = item->submenu();
        if (menu) open(menu);
    }
    if (!chosen) {
        events_.emit("click", {{"path", titlePath}, {"missed", true}, {"origin", action.origin}});
        closeFrom(openBefore);
        return;
    }
    events_.emit("click", {{"path", titlePath}, {"missed", false}});
    closeFrom(0);
    chosen->perform();
}

void HeadlessUser::answerNotification(const UserAction& action) {
    if (!notifications_.respond(action.response))
        events_.emit("notification-response",
                     {{"action", action.response}, {"missed", true}, {"origin", action.origin}});
}

}  // namespace ampwell::platform::headless
