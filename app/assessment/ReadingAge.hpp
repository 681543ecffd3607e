#pragma once

#include "platform/base/Clock.hpp"

namespace ampwell {

// How old a battery reading may be and still be judged. Device clocks and ours drift a little, so
// a reading stamped slightly in the future is accepted.
inline constexpr double kReadingMaximumFutureSkew = 5.0;  // seconds ahead of now
inline constexpr double kReadingMaximumAge = 75.0;        // seconds behind now

// True when now − sampledAt lies in [−kReadingMaximumFutureSkew, kReadingMaximumAge], bounds
// included. An age that is not a number (a non-finite time) is refused.
bool isAcceptableReadingAge(platform::Date sampledAt, platform::Date now);

}  // namespace ampwell
