#include "platform/desktop/KeyShortcut.hpp"

namespace ampwell::platform {

std::string shortcutText(const std::string& key, ShortcutStyle style) {
    if (key.empty()) return {};
    std::string shown = key;
    // Menus show the letter in upper case whatever case the item holds.
    for (char& c : shown)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return (style == ShortcutStyle::command ? "⌘" : "Ctrl+") + shown;
}

}  // namespace ampwell::platform
