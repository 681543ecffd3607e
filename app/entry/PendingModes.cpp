#include "app/entry/Modes.hpp"

namespace ampwell {

// Modes whose subsystems (the refresh daemon, notifications) are not built yet.

}  // namespace ampwell
