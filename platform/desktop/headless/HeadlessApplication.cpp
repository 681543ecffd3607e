#include "platform/desktop/headless/HeadlessApplication.hpp"

#include <chrono>

namespace ampwell::platform::headless {
namespace {

// How far ahead one pass of the loop may run; the loop starts another pass when it ends.
constexpr Seconds kLoopSlice{24.0 * 3600};

}  // namespace

HeadlessApplication::HeadlessApplication(MainQueue& queue, const Clock& clock, EventStream& events)
    : queue_(queue), clock_(clock), events_(events) {}

void HeadlessApplication::setDelegate(std::weak_ptr<ApplicationDelegate> delegate) { delegate_ = std::move(delegate); }

void HeadlessApplication::setActivationPolicy(ActivationPolicy policy) { policy_ = policy; }

int HeadlessApplication::run() {
    if (auto delegate = delegate_.lock()) delegate->applicationDidFinishLaunching();
    const auto done = [this] { return terminating_; };
    while (!terminating_) queue_.runUntil(clock_.now() + kLoopSlice, done);
    if (auto delegate = delegate_.lock()) delegate->applicationWillTerminate();
    events_.emit("terminate", nlohmann::json::object());
    return 0;
}

void HeadlessApplication::terminate() { terminating_ = true; }

}  // namespace ampwell::platform::headless
