#pragma once

#include <string>

namespace ampwell::platform {

// How the machine writes a menu item's key equivalent: the command key on the Mac ("⌘R"), the
// control key elsewhere ("Ctrl+R").
enum class ShortcutStyle { command, control };

// The key equivalent `key` (a letter, as a menu item holds it) as a menu shows it; empty for none.
std::string shortcutText(const std::string& key, ShortcutStyle style);

}  // namespace ampwell::platform
