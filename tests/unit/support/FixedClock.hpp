#pragma once

#include "platform/base/Clock.hpp"

namespace ampwell::testing {

// A clock that stands still at 2026-12-06T22:30:16Z, for tests, benchmarks and fuzzers whose
// outputs must not depend on when they run.
class FixedClock final : public platform::Clock {
public:
    static constexpr double kNowSecondsSince1970 = 1796596216.0;

    platform::Date now() const override { return platform::dateFromSecondsSince1970(kNowSecondsSince1970); }
    platform::Seconds uptime() const override { return platform::Seconds(1000.0); }
};

}  // namespace ampwell::testing
