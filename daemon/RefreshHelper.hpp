#pragma once

#include "daemon/RefreshRateLimiter.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/base/SerialQueue.hpp"
#include "platform/refresh/BatteryManager.hpp"
#include "platform/refresh/RefreshListener.hpp"

#include <cstdint>
#include <functional>
#include <memory>

namespace ampwell {

// The daemon's request handling: serves only the allowed user, asks the battery manager for one
// refresh per accepted request, no more often than every 2 seconds, and ends the process 10
// seconds after launch or after the last accepted request.
//
// Threads: the listener's threads call shouldAcceptNewConnection and requestRefresh, which only
// hand work to `queue`; rate limiting and every battery-manager call run on `queue`; postponeExit
// and the idle exit run on the main queue.
class RefreshHelper final : public platform::RefreshListenerDelegate {
public:
    static constexpr const char* kQueueLabel = "local.ampwell.refresh.operation";
    static constexpr double kIdleExitDelay = 10.0;
    static constexpr const char* kBatteryManagerClass = "AppleSmartBatteryManager";
    static constexpr std::uint32_t kUserClientType = 0;
    static constexpr std::uint32_t kRefreshSelector = 4;
    static constexpr std::uint64_t kRefreshArgument = 4;

    // `exitProcess` ends the daemon with a status; it runs on the main queue. The references must
    // outlive the helper.
    RefreshHelper(platform::BatteryManager& batteryManager, platform::MainQueue& mainQueue,
                  const platform::Clock& clock, std::uint32_t allowedUserID, std::function<void(int)> exitProcess);
    // Runs the requests already queued (each still gets its reply), then ends the queue.
    ~RefreshHelper() override;

    bool shouldAcceptNewConnection(const platform::RefreshPeer& peer) override;
    // Returns at once; the reply comes from the operation queue.
    void requestRefresh(std::function<void(std::uint32_t)> reply) override;
    // Restarts the idle-exit timer. Main queue only.
    void postponeExit();

private:
    std::uint32_t refreshBatteryManager();

    platform::BatteryManager& batteryManager_;
    platform::MainQueue& mainQueue_;
    const platform::Clock& clock_;
    const std::uint32_t allowedUserID_;
    std::function<void(int)> exitProcess_;

    RefreshRateLimiter limiter_;                    // operation queue only
    std::shared_ptr<platform::WorkItem> idleExit_;  // main queue only
    // Work posted to the main queue holds this weakly and does nothing once the helper is gone.
    std::shared_ptr<RefreshHelper*> self_;
    platform::SerialQueue queue_;  // last: its destructor still runs queued jobs on the members above
};

}  // namespace ampwell
