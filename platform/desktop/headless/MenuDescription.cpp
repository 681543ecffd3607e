#include "platform/desktop/headless/MenuDescription.hpp"

#include "platform/desktop/Menu.hpp"
#include "platform/desktop/MenuView.hpp"

namespace ampwell::platform::headless {
namespace {

nlohmann::json checkedValue(CheckState state) {
    switch (state) {
    case CheckState::on: return true;
    case CheckState::mixed: return "mixed";
    case CheckState::off: return false;
    }
    return false;
}

}  // namespace

nlohmann::json describeMenuItems(const Menu& menu) {
    nlohmann::json items = nlohmann::json::array();
    for (const auto& item : menu.items()) {
        if (item->isSeparator()) {
            items.push_back({{"separator", true}});
            continue;
        }
        if (item->view()) {
            items.push_back({{"view", item->view()->describe()}});
            continue;
        }
        nlohmann::json shown{{"title", item->title()},
                             {"enabled", menu.isItemEnabled(*item)},
                             {"checked", checkedValue(item->state())}};
        if (!item->keyEquivalent().empty()) shown["key"] = item->keyEquivalent();
        if (!item->symbolName().empty()) shown["symbol"] = item->symbolName();
        if (!item->toolTip().empty()) shown["tooltip"] = item->toolTip();
        if (item->submenu()) shown["submenu"] = describeMenuItems(*item->submenu());
        items.push_back(std::move(shown));
    }
    return items;
}

}  // namespace ampwell::platform::headless
