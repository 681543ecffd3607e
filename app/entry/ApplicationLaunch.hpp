#pragma once

#include <string>

namespace ampwell {

// The bundle identifier the single-instance rule is keyed on.
inline constexpr const char* kBundleIdentifier = "local.ampwell";

}  // namespace ampwell
