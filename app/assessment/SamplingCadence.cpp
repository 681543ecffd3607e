#include "app/assessment/SamplingCadence.hpp"

namespace ampwell {

using platform::Date;
using platform::Seconds;

SamplingCadence::SamplingCadence(std::optional<Date> fastUntil, bool isMenuSampling)
    : fastUntil_(fastUntil), isMenuSampling_(isMenuSampling) {}

void SamplingCadence::connectionsChanged(bool hasDevices, Date now) {
    if (hasDevices) {
        fastUntil_ = now + Seconds(kFastWindow);
        firstReadingDeadline_ = now + Seconds(kFirstReadingWait);
    } else {
        fastUntil_.reset();
        firstReadingDeadline_.reset();
    }
    waitingForPower_ = hasDevices;
}

void SamplingCadence::observePower(bool isMissing) { waitingForPower_ = isMissing; }

void SamplingCadence::setMenuSampling(bool isMenuSampling) { isMenuSampling_ = isMenuSampling; }

void SamplingCadence::menuClosed() {
    isMenuSampling_ = false;
    fastUntil_.reset();
}

void SamplingCadence::computerIsSilent() {
    fastUntil_.reset();
    waitingForPower_ = false;
}

bool SamplingCadence::inFastWindow(Date at) const { return fastUntil_ && at < *fastUntil_; }

bool SamplingCadence::inPowerWait(Date at) const {
    return waitingForPower_ && firstReadingDeadline_ && at < *firstReadingDeadline_;
}

bool SamplingCadence::isFast(Date at) const { return inFastWindow(at) || inPowerWait(at); }

double SamplingCadence::interval(Date at) const {
    if (isMenuSampling_) return kMenuInterval;
    if (isFast(at)) return kFastInterval;
    return kIdleInterval;
}

double SamplingCadence::interval() const { return interval(platform::SystemClock().now()); }

bool SamplingCadence::batteryReadDue(std::optional<Date> lastRead, Date now) const {
    if (!lastRead) return true;
    const double elapsed = (now - *lastRead).count();
    // A previous read "in the future" means the wall clock was set back; waiting for the clock to
    // catch up would stop battery reads for as long as the jump, so read now.
    if (elapsed < 0) return true;
    const double spacing = inFastWindow(now) ? kFastBatteryReadSpacing : kBatteryReadSpacing;
    return elapsed >= spacing;
}

}  // namespace ampwell
