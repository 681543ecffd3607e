#include "app/batteries/MobileBatteryReadCoordinator.hpp"

#include <chrono>

namespace ampwell {

MobileBatteryReadCoordinator::MobileBatteryReadCoordinator(platform::MobileDeviceService& service,
                                                           USBBatterySessions sessions, const platform::Clock& clock)
    : service_(service), sessions_(std::move(sessions)), clock_(clock), queue_(kQueueLabel, clock) {}

namespace {

// How long one turn of the final wait lasts on the clock: longer than any read takes.
constexpr platform::Seconds kPatience{1e12};
// A real pause that lets the read publish its end when the clock has no time left to give.
constexpr std::chrono::milliseconds kRealPause{1};

}  // namespace

MobileBatteryReadCoordinator::~MobileBatteryReadCoordinator() {
    // Wait through the clock, so that a simulated clock that moves only while everybody waits
    // lets a slow simulated read come to its end. Each turn has a deadline of its own: a deadline
    // in the past makes the wait return at once with the lock held, and repeating that would keep
    // the read from ever publishing its end. A clock so far ahead that the deadline equals now
    // gets real pauses instead.
    std::unique_lock lock(mutex_);
    while (inFlight_) {
        if (!clock_.waitUntil(condition_, lock, clock_.now() + kPatience)) condition_.wait_for(lock, kRealPause);
    }
}

std::vector<DeviceBattery> MobileBatteryReadCoordinator::request(platform::Seconds timeout,
                                                                  std::set<std::string> accountSerials) {
    std::unique_lock lock(mutex_);
    if (!inFlight_) {
        inFlight_ = true;
        const std::uint64_t ticket = ++requested_;
        queue_.async([this, ticket, serials = std::move(accountSerials)] { readJob(ticket, serials); });
    }
    const std::uint64_t target = requested_;
    const platform::Date deadline = clock_.now() + timeout;
    while (completed_ < target) {
        if (!clock_.waitUntil(condition_, lock, deadline)) break;
    }
    if (completed_ < target) return {};
    return result_;
}

std::vector<DeviceBattery> MobileBatteryReadCoordinator::readBatteries(const std::set<std::string>& accountSerials) {
    const auto before = sessions_.current();
    if (apiState_ == APIState::notLoaded) {
        api_ = MobileDeviceAPI::load(service_, clock_);
        apiState_ = api_ ? APIState::loaded : APIState::unavailable;
    }
    auto batteries = api_ ? api_->readAll(accountSerials) : std::vector<DeviceBattery>{};
    const auto after = sessions_.current();
    return USBBatterySessions::stamp(batteries, before, after);
}

void MobileBatteryReadCoordinator::readJob(std::uint64_t ticket, const std::set<std::string>& accountSerials) {
    std::vector<DeviceBattery> stamped;
    try {
        stamped = readBatteries(accountSerials);
    } catch (...) {
        // A read that fails in an unforeseen way still has to be published: otherwise the read
        // would stay in flight for ever and every later caller would time out.
        stamped.clear();
    }
    std::lock_guard lock(mutex_);
    result_ = std::move(stamped);
    completed_ = ticket;
    inFlight_ = false;
    condition_.notify_all();
}

}  // namespace ampwell
