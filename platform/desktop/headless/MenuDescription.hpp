#pragma once

#include <nlohmann/json.hpp>

namespace ampwell::platform {
class Menu;
}

namespace ampwell::platform::headless {

// The items of `menu` as a user would see them, top to bottom: a separator is {"separator": true};
// a view item is {"view": what the view describes}; any other item has "title", "enabled" (as its
// menu decides) and "checked" (true, false, or "mixed"), and, when it has them, "key", "symbol",
// "tooltip" and "submenu" (that menu's items, described the same way).
nlohmann::json describeMenuItems(const Menu& menu);

}  // namespace ampwell::platform::headless
