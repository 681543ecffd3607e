#include "app/ui/AppDelegate.hpp"

#include "app/assessment/DeviceAccounts.hpp"

#include <chrono>

namespace ampwell {

namespace {

constexpr platform::Seconds kConnectionCoalescing{0.2};
constexpr platform::Seconds kPowerCoalescing{0.1};
// A battery reading counts for a device from 5 s ahead (clock skew) to 75 s back.
constexpr double kBatteryFutureTolerance = 5.0;
constexpr double kBatteryMaximumAge = 75.0;

// Port number, the serial as reported, the connection identifier.
std::string deviceKey(int port, const ConnectedDevice& device) {
    return std::to_string(port) + ":" + device.serial + ":" + device.connectionID;
}

}  // namespace

std::set<int> AppDelegate::connectedPortNumbers() const {
    std::set<int> ports;
    for (const auto& reading : snapshot_.connectedPorts()) ports.insert(reading.port);
    return ports;
}

bool AppDelegate::signedConnectionsMatch(const std::vector<const PortReading*>& connected) const {
    if (connected.size() != signedConnections_.size()) return false;
    for (std::size_t i = 0; i < connected.size(); ++i) {
        if (connected[i]->port != signedConnections_[i].first || connected[i]->connections != signedConnections_[i].second)
            return false;
    }
    return true;
}

void AppDelegate::cancelActiveRefreshSeries() {
    ++activeRefreshGeneration_;
    if (activeRefreshWork_) {
        activeRefreshWork_->cancel();
        activeRefreshWork_.reset();
    }
    systemPowerRefresher_->cancel();
}

void AppDelegate::refresh(bool forceBattery, bool queueManualRead,
                          std::optional<std::pair<std::string, std::vector<DeviceBattery>>> receivedBatteries,
                          const std::string& trigger) {
    if (terminated_) return;
    // 1–2.
    const platform::Date readStart = clock_.now();
    const Telemetry::DeviceMap devices = telemetry_.connectedDevices();
    std::size_t deviceCount = 0;
    for (const auto& [port, list] : devices) deviceCount += list.size();
    const bool hasDevices = deviceCount > 0;
    snapshot_ = hasDevices ? telemetry_.read(devices) : Snapshot{};
    const platform::Date readEnd = clock_.now();

    // 3–4.
    const std::vector<const PortReading*> connected = snapshot_.connectedReadings();
    std::set<int> newPorts;
    if (!signedConnectionsMatch(connected)) {
        std::set<std::string> currentKeys;
        signedConnections_.clear();
        for (const PortReading* reading : connected) {
            for (const auto& device : reading->connections) {
                const std::string key = deviceKey(reading->port, device);
                currentKeys.insert(key);
                if (!powerRefreshConnections_.contains(key)) newPorts.insert(reading->port);
            }
            signedConnections_.emplace_back(reading->port, reading->connections);
        }
        powerRefreshConnections_ = std::move(currentKeys);
        signedSignature_ = snapshot_.connectionSignature();
    }
    const std::string& signature = signedSignature_;

    // 5.
    if (signature != observedConnections_) {
        cancelActiveRefreshSeries();
        observedConnections_ = signature;
        batteries_.clear();
        cadence_.connectionsChanged(hasDevices, clock_.now());
    }

    // 6–8.
    observePortFigures(cadence_, connected);
    cadence_.setMenuSampling(mainMenuIsOpen_ && hasDevices && systemPowerRefresher_->isInstalled() &&
                             systemPowerRefresher_->isEnabled());
    configurePollingTimer(false);

    // 9: a read started under other connections describes devices that are no longer there. A
    // device's own account then stands in where the computer is silent.
    if (receivedBatteries && receivedBatteries->first == signature) batteries_ = std::move(receivedBatteries->second);
    snapshot_.batteries = batteries_;
    if (refreshed_) refreshed_(snapshot_, threshold());
    applyDeviceAccounts(snapshot_, clock_.now());

    // 10–11.
    presentSnapshot(hasDevices, connected);
    writeRefreshRecord(trigger, readStart, readEnd);

    // 12–13.
    if (forceBattery) pollBatteries(queueManualRead);
    if (!newPorts.empty()) startActiveRefresh(newPorts, "connection", 0.2);
}

void AppDelegate::configurePollingTimer(bool restartMenu) {
    if (terminated_) return;
    const double interval = cadence_.interval(clock_.now());
    const bool sampler = cadence_.isMenuSampling();
    if (timer_ && scheduledPollingInterval_ == interval && timerIsMenuSampler_ == sampler && !(restartMenu && sampler))
        return;
    if (timer_) timer_->invalidate();
    // The timer holds the controller weakly; the controller ends it at termination.
    timer_ = mainQueue_.scheduleTimer(platform::Seconds(interval), !sampler, [weak = weakSelf()] {
        if (const auto self = weak.lock()) self->pollingTimerFired();
    });
    scheduledPollingInterval_ = interval;
    timerIsMenuSampler_ = sampler;
}

void AppDelegate::pollingTimerFired() { automaticRefresh(); }

void AppDelegate::automaticRefresh() {
    const bool wasSampler = timerIsMenuSampler_;
    if (wasSampler) {
        // The one-shot sampler has fired; forgetting it lets this refresh arm the next one.
        timer_.reset();
        scheduledPollingInterval_.reset();
    }
    const platform::Date now = clock_.now();
    const bool due = cadence_.batteryReadDue(lastBatteryReadStarted_, now);
    refresh(due, false, std::nullopt, wasSampler ? "menu-timer" : "timer");

    const platform::Date after = clock_.now();
    if (cadence_.isMenuSampling()) {
        startActiveRefresh(connectedPortNumbers(), "menu", 0);
        return;
    }
    const bool fastWindow = cadence_.fastUntil() && *cadence_.fastUntil() > after;
    const bool awaitingPower =
        cadence_.waitingForPower() && cadence_.firstReadingDeadline() && *cadence_.firstReadingDeadline() > after;
    if (fastWindow || awaitingPower) return;
    startActiveRefresh(connectedPortNumbers(), "background", 0);
}

void AppDelegate::manualRefresh() {
    for (const auto& reading : snapshot_.connectedPorts()) {
        if (!reading.watts) {
            cadence_.connectionsChanged(true, clock_.now());
            break;
        }
    }
    refresh(true, true, std::nullopt, "manual");
    startActiveRefresh(connectedPortNumbers(), "manual", 0.2);
}

void AppDelegate::pollBatteries(bool queueIfBusy) {
    if (!snapshot_.hasMobileDevices()) return;
    if (batteryReadRunning_) {
        // At most one read runs, and at most one more waits behind it.
        if (queueIfBusy) manualReadPending_ = true;
        return;
    }
    batteryReadRunning_ = true;
    lastBatteryReadStarted_ = clock_.now();
    std::string signature = observedConnections_;
    // The read holds the controller until its result is back on the main queue, where the last
    // reference (if it is the last) is dropped too.
    batteryQueue_.async([self = shared_from_this(), signature = std::move(signature),
                         serials = silentDeviceSerials(snapshot_)]() mutable {
        std::vector<DeviceBattery> list = self->readBatteries_(serials);
        auto& queue = self->mainQueue_;
        queue.post([self = std::move(self), signature = std::move(signature), list = std::move(list)]() mutable {
            self->batteryReadRunning_ = false;
            const bool pending = self->manualReadPending_;
            self->manualReadPending_ = false;
            self->refresh(false, false, std::make_pair(std::move(signature), std::move(list)), "battery");
            if (pending) self->pollBatteries(false);
        });
    });
}

std::optional<DeviceBattery> AppDelegate::freshBattery(const ConnectedDevice& device) const {
    if (batteries_.empty()) return std::nullopt;
    std::optional<std::string> session;
    if (!device.connectionID.empty()) {
        const auto colon = device.connectionID.rfind(':');
        session = colon == std::string::npos ? device.connectionID : device.connectionID.substr(colon + 1);
    }
    const std::string serial = normalizedSerial(device.serial);
    const platform::Date now = clock_.now();
    for (const auto& battery : batteries_) {
        if (normalizedSerial(battery.serial) != serial || battery.connectionID != session) continue;
        const double age = (now - battery.sampledAt).count();
        if (age >= -kBatteryFutureTolerance && age <= kBatteryMaximumAge) return battery;
    }
    return std::nullopt;
}

void AppDelegate::usbConnectionsChanged() {
    if (terminated_) return;
    if (statusItem_) statusItem_->setVisible(!telemetry_.connectedDevices().empty());
    if (connectionRefresh_) connectionRefresh_->cancel();
    connectionRefresh_ = std::make_shared<platform::WorkItem>([weak = weakSelf()] {
        if (const auto self = weak.lock()) self->refresh(true, true, std::nullopt, "usb-event");
    });
    mainQueue_.postAfter(kConnectionCoalescing, connectionRefresh_);
}

void AppDelegate::powerReadingsChanged() {
    if (terminated_ || snapshot_.connectedPorts().empty()) return;
    if (powerRefresh_) powerRefresh_->cancel();
    powerRefresh_ = std::make_shared<platform::WorkItem>([weak = weakSelf()] {
        if (const auto self = weak.lock()) self->refresh(false, false, std::nullopt, "power-event");
    });
    mainQueue_.postAfter(kPowerCoalescing, powerRefresh_);
}

}  // namespace ampwell
