#include "app/assessment/ReadingAge.hpp"

namespace ampwell {

bool isAcceptableReadingAge(platform::Date sampledAt, platform::Date now) {
    const double age = (now - sampledAt).count();
    // Written as the accepting range so that NaN falls outside it.
    return age >= -kReadingMaximumFutureSkew && age <= kReadingMaximumAge;
}

}  // namespace ampwell
