#pragma once

#include "platform/base/Clock.hpp"
#include "platform/base/EventStream.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/desktop/Application.hpp"

#include <memory>

namespace ampwell::platform::headless {

// The application object without a screen: run() launches the delegate and serves the main queue
// until terminate() has been asked for; then the delegate's applicationWillTerminate runs, the
// stream is told "terminate" (the last event of a run), and run() returns 0. Main thread only.
class HeadlessApplication final : public Application {
public:
    HeadlessApplication(MainQueue& queue, const Clock& clock, EventStream& events);

    void setDelegate(std::weak_ptr<ApplicationDelegate> delegate) override;
    void setActivationPolicy(ActivationPolicy policy) override;
    ActivationPolicy activationPolicy() const { return policy_; }
    int run() override;
    // Nothing is in front of anything without a screen.
    void activate() override {}
    void terminate() override;
    bool isTerminating() const { return terminating_; }

private:
    MainQueue& queue_;
    const Clock& clock_;
    EventStream& events_;
    std::weak_ptr<ApplicationDelegate> delegate_;
    ActivationPolicy policy_ = ActivationPolicy::regular;
    bool terminating_ = false;
};

}  // namespace ampwell::platform::headless
