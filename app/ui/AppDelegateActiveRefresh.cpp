#include "app/ui/AppDelegate.hpp"

namespace ampwell {

namespace {
// Pause between a request's answer and the re-read of the registry.
constexpr platform::Seconds kFollowUpDelay{0.25};
// Delay before the second and the third request of a series.
constexpr double kRetryDelays[] = {2.0, 3.0};
}  // namespace

void AppDelegate::startActiveRefresh(const std::set<int>& ports, const std::string& reason, double delay) {
    if (terminated_ || ports.empty() || !systemPowerRefresher_->isInstalled() || !systemPowerRefresher_->isEnabled())
        return;
    // Menu ticks never queue up behind a request still in flight.
    if (reason == "menu" && systemPowerRefresher_->isBusy()) return;
    ++activeRefreshGeneration_;
    if (activeRefreshWork_) activeRefreshWork_->cancel();
    activeRefreshReason_ = reason;
    scheduleActiveRefresh(ports, activeRefreshGeneration_, reason, 0, delay);
}

void AppDelegate::scheduleActiveRefresh(const std::set<int>& ports, std::uint64_t generation,
                                        const std::string& reason, int attempt, double delay) {
    activeRefreshWork_ = std::make_shared<platform::WorkItem>([weak = weakSelf(), ports, generation, reason, attempt] {
        const auto self = weak.lock();
        if (!self || generation != self->activeRefreshGeneration_) return;
        if (!self->systemPowerRefresher_->isEnabled()) return;
        bool watchedPortConnected = false;
        for (const auto& reading : self->snapshot_.connectedPorts())
            watchedPortConnected = watchedPortConnected || ports.contains(reading.port);
        if (!watchedPortConnected) return;  // the devices have left
        self->activeRefreshWork_.reset();
        self->systemPowerRefresher_->request([weak, ports, generation, reason, attempt](std::optional<std::uint32_t> status) {
            if (const auto self = weak.lock()) self->activeRefreshCompleted(ports, generation, reason, attempt, status);
        });
    });
    mainQueue_.postAfter(platform::Seconds(delay), activeRefreshWork_);
}

void AppDelegate::activeRefreshCompleted(const std::set<int>& ports, std::uint64_t generation,
                                         const std::string& reason, int attempt, std::optional<std::uint32_t> status) {
    if (generation != activeRefreshGeneration_) return;
    writeSamplingTrace({{"trigger", "system-request"},
                        {"attempt", attempt + 1},
                        {"reason", reason},
                        {"menuOpen", mainMenuIsOpen_},
                        {"result", status ? nlohmann::json(*status) : nlohmann::json(nullptr)}});
    updateActiveSamplingItem();
    const bool receivedStatus = status.has_value();
    activeRefreshWork_ = std::make_shared<platform::WorkItem>([weak = weakSelf(), ports, generation, reason, attempt,
                                                               receivedStatus] {
        if (const auto self = weak.lock())
            self->activeRefreshFollowUp(ports, generation, reason, attempt, receivedStatus);
    });
    mainQueue_.postAfter(kFollowUpDelay, activeRefreshWork_);
}

void AppDelegate::activeRefreshFollowUp(const std::set<int>& ports, std::uint64_t generation,
                                        const std::string& reason, int attempt, bool receivedStatus) {
    if (generation != activeRefreshGeneration_) return;
    activeRefreshWork_.reset();
    refresh(false, false, std::nullopt, "system-request-read");
    // The re-read may have started a new series or seen the connections change.
    if (generation != activeRefreshGeneration_) return;
    bool complete = true;
    for (const auto& reading : snapshot_.connectedPorts())
        if (ports.contains(reading.port) && !reading.watts) complete = false;
    if (reason != "menu" && attempt < 2 && !complete && receivedStatus) {
        scheduleActiveRefresh(ports, generation, reason, attempt + 1, kRetryDelays[attempt]);
        return;
    }
    activeRefreshReason_.reset();
}

void AppDelegate::toggleActiveSampling() {
    systemPowerRefresher_->setEnabled(!systemPowerRefresher_->isEnabled());
    cancelActiveRefreshSeries();
    updateActiveSamplingItem();
    refresh(false, false, std::nullopt, "sampling-toggle");
    if (systemPowerRefresher_->isEnabled()) startActiveRefresh(connectedPortNumbers(), "connection", 0.2);
}

}  // namespace ampwell
