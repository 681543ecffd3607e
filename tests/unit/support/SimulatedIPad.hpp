#pragma once

#include "platform/sim/SimPlatform.hpp"

#include <memory>
#include <string>

namespace ampwell::test {

// A frozen simulated Mac (started at 1 800 000 000 s, boot identity "1799990000") with one iPad on
// USB, session 1234567, 80 %, paused on external power. `deviceExtra` is spliced into the mobile
// device's JSON object and `topExtra` into the top level (each: members with a trailing comma).
std::unique_ptr<platform::sim::SimPlatform> simulatedIPad(const std::string& deviceExtra = "",
                                                          const std::string& topExtra = "");

}  // namespace ampwell::test
