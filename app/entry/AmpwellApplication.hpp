#pragma once

#include "app/entry/ModeContext.hpp"

namespace ampwell {

// The entry of the program: picks the mode from the arguments and runs it.
class AmpwellApplication {
public:
    // Returns the exit status. An error that leaves a mode ends it with status 1 and its
    // description on the error stream.
    static int main(ModeContext& context);
};

}  // namespace ampwell
