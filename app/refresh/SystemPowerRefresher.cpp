#include "app/refresh/SystemPowerRefresher.hpp"

#include "contract/PowerRefreshService.hpp"
#include "platform/Platform.hpp"

#include <algorithm>

namespace ampwell {

using PowerRefreshService::kIOReturnBusy;

SystemPowerRefresher::SystemPowerRefresher(platform::RefreshConnector& connector, platform::Defaults& defaults,
                                           platform::MainQueue& mainQueue, const platform::Clock& clock,
                                           platform::RefreshInstallation installation)
    : connector_(connector),
      defaults_(defaults),
      mainQueue_(mainQueue),
      clock_(clock),
      installation_(std::move(installation)),
      self_(std::make_shared<SystemPowerRefresher*>(this)) {
    reloadAvailability();
}

SystemPowerRefresher::~SystemPowerRefresher() {
    // Work items still queued see the token expire and do nothing; the connection is released
    // without being invalidated, so nothing is reported.
    self_.reset();
    if (scheduledStart_) scheduledStart_->cancel();
    if (timeout_) timeout_->cancel();
}

void SystemPowerRefresher::reloadAvailability() {
    const auto& check = installation_.isProtectedRegularFile;
    isInstalled_ = installation_.systemSupportsClientRequirement && check && check(installation_.helperPath) &&
                   check(installation_.launchDaemonPath);
}

bool SystemPowerRefresher::isEnabled() const {
    return platform::booleanDefault(defaults_, kEnabledKey).value_or(true);
}

void SystemPowerRefresher::setEnabled(bool enabled) { defaults_.set(kEnabledKey, platform::PropertyValue::boolean(enabled)); }

double SystemPowerRefresher::uptime() const { return clock_.uptime().count(); }

void SystemPowerRefresher::request(Completion completion) {
    if (!isEnabled() || !isInstalled_) {
        completion(std::nullopt);
        return;
    }
    if (requestID_) {
        completion(kIOReturnBusy);
        return;
    }
    const std::uint64_t id = ++lastIssuedID_;
    requestID_ = id;
    Token self = self_;
    scheduledStart_ = std::make_shared<platform::WorkItem>([self, id, completion = std::move(completion)] {
        auto alive = self.lock();
        if (!alive) return;
        SystemPowerRefresher& refresher = **alive;
        if (refresher.requestID_ != id) return;
        refresher.scheduledStart_.reset();
        refresher.beginRequest(id, completion);
    });
    mainQueue_.postAfter(platform::Seconds(std::max(0.0, nextRequestAt_ - uptime())), scheduledStart_);
}

void SystemPowerRefresher::beginRequest(std::uint64_t id, const Completion& completion) {
    nextRequestAt_ = uptime() + kMinimumSpacing;
    if (connection_) connection_->invalidate();
    connection_ = connector_.connect(PowerRefreshService::name, kPrivilegedConnectionOption);

    platform::MainQueue& queue = mainQueue_;
    const Token self = self_;
    auto finishWithout = [&queue, self, id, completion] { finishLater(queue, self, id, completion, std::nullopt); };
    connection_->setInvalidationHandler(finishWithout);
    connection_->setInterruptionHandler(finishWithout);

    timeout_ = std::make_shared<platform::WorkItem>(finishWithout);
    mainQueue_.postAfter(platform::Seconds(kReplyTimeout), timeout_);

    connection_->resume();
    const bool sent = connection_->requestRefresh(
        [&queue, self, id, completion](std::uint32_t status) { finishLater(queue, self, id, completion, status); },
        finishWithout);
    if (!sent) finishLater(queue, self, id, completion, std::nullopt);
}

void SystemPowerRefresher::finishLater(platform::MainQueue& queue, const Token& self, std::uint64_t id,
                                       Completion completion, std::optional<std::uint32_t> status) {
    // Outcomes arrive on any thread; the identifier check runs on the main queue, so a late reply
    // cannot race a newer request.
    queue.post([self, id, completion = std::move(completion), status] {
        auto alive = self.lock();
        if (!alive) return;
        (*alive)->finishRequest(id, completion, status);
    });
}

void SystemPowerRefresher::finishRequest(std::uint64_t id, const Completion& completion,
                                         std::optional<std::uint32_t> status) {
    if (requestID_ != id) return;
    if (!status) {
        lastRequestFailed_ = true;
    } else {
        lastRequestFailed_ = *status > 1 && *status != kIOReturnBusy;
        nextRequestAt_ = uptime() + kMinimumSpacing;
    }
    cancel();
    // Copies: either callback may replace the refresher's callback or start the next request.
    if (auto didComplete = didCompleteRequest_) didComplete();
    completion(status);
}

void SystemPowerRefresher::cancel() {
    requestID_.reset();
    if (scheduledStart_) {
        scheduledStart_->cancel();
        scheduledStart_.reset();
    }
    if (timeout_) {
        timeout_->cancel();
        timeout_.reset();
    }
    if (connection_) {
        connection_->invalidate();
        connection_.reset();
    }
}

std::unique_ptr<SystemPowerRefresher> makeSystemPowerRefresher(platform::Platform& platform) {
    return std::make_unique<SystemPowerRefresher>(platform.refreshConnector(), platform.defaults(), platform.mainQueue(),
                                                  platform.clock(), platform.refreshInstallation());
}

}  // namespace ampwell
