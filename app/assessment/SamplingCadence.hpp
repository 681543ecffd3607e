#pragma once

#include "platform/base/Clock.hpp"

#include <optional>

namespace ampwell {

// How often to read: slowly while nothing happens, every second for a short while after a device is
// plugged in (and while the system has not yet published power figures for it), every 2 s while the
// menu is open. It also spaces out the battery reads, which need a device session each.
//
// A plain value owned by the refresh engine. Every comparison of a time with a deadline is strict:
// at the deadline itself the phase has ended.
class SamplingCadence {
public:
    static constexpr double kFastWindow = 30.0;         // after a connection change with devices
    static constexpr double kFirstReadingWait = 120.0;  // longest wait for first power figures
    static constexpr double kMenuInterval = 2.0;
    static constexpr double kFastInterval = 1.0;
    static constexpr double kIdleInterval = 30.0;
    // Just under 5 s and 30 s, so that a timer firing a hair early still lets the read run.
    static constexpr double kFastBatteryReadSpacing = 4.95;
    static constexpr double kBatteryReadSpacing = 29.95;

    SamplingCadence() = default;
    SamplingCadence(std::optional<platform::Date> fastUntil, bool isMenuSampling);

    // The set of USB connections changed. With devices: a fast window and a wait for power figures
    // begin at `now`; without: every phase ends. Menu sampling is left as it is.
    void connectionsChanged(bool hasDevices, platform::Date now);
    // After each snapshot: whether it still lacked power figures.
    void observePower(bool isMissing);
    void setMenuSampling(bool isMenuSampling);
    // Closing the menu also ends a running fast window; a wait for power figures goes on.
    void menuClosed();
    // Every connected port is one the computer has said it does not measure: ticking fast would
    // read the same nothing again. Ends the fast window and the wait for power figures.
    void computerIsSilent();

    // In the fast window, or still waiting for power figures before their deadline. Menu sampling
    // does not count.
    bool isFast(platform::Date at) const;
    // Seconds until the next tick.
    double interval(platform::Date at) const;
    // The same, at the system clock's current time.
    double interval() const;
    // Whether a battery read may start now, given when the previous one started. Only the fast
    // window shortens the spacing; waiting for power and menu sampling do not.
    bool batteryReadDue(std::optional<platform::Date> lastRead, platform::Date now) const;

    const std::optional<platform::Date>& fastUntil() const { return fastUntil_; }
    const std::optional<platform::Date>& firstReadingDeadline() const { return firstReadingDeadline_; }
    bool waitingForPower() const { return waitingForPower_; }
    bool isMenuSampling() const { return isMenuSampling_; }

private:
    bool inFastWindow(platform::Date at) const;
    bool inPowerWait(platform::Date at) const;

    std::optional<platform::Date> fastUntil_;
    std::optional<platform::Date> firstReadingDeadline_;
    bool waitingForPower_ = false;
    bool isMenuSampling_ = false;
};

}  // namespace ampwell
