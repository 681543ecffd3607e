#include "daemon/RefreshHelper.hpp"

#include "contract/PowerRefreshService.hpp"

namespace ampwell {

RefreshHelper::RefreshHelper(platform::BatteryManager& batteryManager, platform::MainQueue& mainQueue,
                             const platform::Clock& clock, std::uint32_t allowedUserID,
                             std::function<void(int)> exitProcess)
    : batteryManager_(batteryManager),
      mainQueue_(mainQueue),
      clock_(clock),
      allowedUserID_(allowedUserID),
      exitProcess_(std::move(exitProcess)),
      self_(std::make_shared<RefreshHelper*>(this)),
      queue_(kQueueLabel, clock) {}

RefreshHelper::~RefreshHelper() {
    if (idleExit_) idleExit_->cancel();
}

bool RefreshHelper::shouldAcceptNewConnection(const platform::RefreshPeer& peer) {
    return peer.effectiveUserID == allowedUserID_;
}

void RefreshHelper::requestRefresh(std::function<void(std::uint32_t)> reply) {
    queue_.async([this, reply = std::move(reply)] {
        if (!limiter_.accept(clock_.uptime().count())) {
            // A refused request does nothing, so it does not keep the daemon alive either.
            reply(PowerRefreshService::kIOReturnBusy);
            return;
        }
        std::weak_ptr<RefreshHelper*> self = self_;
        mainQueue_.post([self] {
            if (auto alive = self.lock()) (*alive)->postponeExit();
        });
        reply(refreshBatteryManager());
    });
}

std::uint32_t RefreshHelper::refreshBatteryManager() {
    auto service = batteryManager_.firstMatchingService(kBatteryManagerClass);
    if (!service) return PowerRefreshService::kIOReturnNotFound;
    auto opened = service->open(kUserClientType);
    if (opened.code != platform::kIOReturnSuccess || !opened.connection) {
        // A backend that reports success without a connection has still not opened anything.
        return opened.code != platform::kIOReturnSuccess ? opened.code : platform::kIOReturnNotFound;
    }
    const std::uint32_t result = opened.connection->callMethod(kRefreshSelector, {kRefreshArgument});
    // Close the user client before the service is released.
    opened.connection.reset();
    service.reset();
    return result;
}

void RefreshHelper::postponeExit() {
    if (idleExit_) idleExit_->cancel();
    auto exitProcess = exitProcess_;
    idleExit_ = std::make_shared<platform::WorkItem>([exitProcess] { exitProcess(0); });
    mainQueue_.postAfter(platform::Seconds(kIdleExitDelay), idleExit_);
}

}  // namespace ampwell
