#include "app/entry/Modes.hpp"
#include "app/entry/UsageText.hpp"

#include <ostream>

namespace ampwell {

// Both texts come from the manual's source, so --help and ampwell(1) list the same options.

int runHelp(ModeContext& context) {
    context.out() << kUsageText;
    return 0;
}

int runVersion(ModeContext& context) {
    context.out() << "ampwell " << kVersion << '\n';
    return 0;
}

}  // namespace ampwell
