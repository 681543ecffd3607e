#include "app/entry/IndicatorSelfChecks.hpp"
#include "app/entry/Modes.hpp"

namespace ampwell {

// Runs on the host's own clock and nothing else of the platform, so that the checks work even
// where no backend can be made.
int runCheckIndicator(ModeContext& context) {
    const platform::SystemClock clock;
    return reportIndicatorSelfChecks(runIndicatorSelfChecks(clock.now()), context.out(), context.err());
}

}  // namespace ampwell
