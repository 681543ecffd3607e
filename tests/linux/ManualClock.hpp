#pragma once

#include "platform/base/Clock.hpp"

#include <atomic>

namespace ampwell::platform::linux_ {

// A clock the test sets by hand.
class ManualClock final : public Clock {
public:
    explicit ManualClock(double secondsSince1970) : now_(secondsSince1970) {}
    Date now() const override { return dateFromSecondsSince1970(now_.load()); }
    Seconds uptime() const override { return Seconds(now_.load() - 1.0e9); }
    void set(double secondsSince1970) { now_.store(secondsSince1970); }

private:
    std::atomic<double> now_;
};

}  // namespace ampwell::platform::linux_
