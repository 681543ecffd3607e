#pragma once

#include "app/model/Snapshot.hpp"

#include <optional>
#include <string>

namespace ampwell {

// What the application says once on standard error when it starts on a real computer where it
// finds nothing to show (no USB-C port with a reading, no USB device, so no iPad or iPhone
// either): what it looked at and found, that the icon comes with a device, how to quit, and how
// to try the simulated computer. Nullopt when `snapshot` holds something to show.
std::optional<std::string> firstRunNote(const Snapshot& snapshot);

}  // namespace ampwell
