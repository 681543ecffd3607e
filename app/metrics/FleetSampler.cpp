#include "app/metrics/FleetSampler.hpp"

#include "app/assessment/DeviceAccounts.hpp"

#include <cmath>

namespace ampwell {
namespace {

// Plug events come in bursts (a hub and everything behind it); power messages too.
constexpr platform::Seconds kConnectionCoalescing{0.2};
constexpr platform::Seconds kPowerCoalescing{0.1};

}  // namespace

FleetSampler::FleetSampler(platform::Registry& registry, platform::MobileDeviceService& devices,
                           platform::Defaults& defaults, const platform::Clock& clock, platform::MainQueue& mainQueue,
                           const BootIdentity& bootIdentity, Publish publish)
    : defaults_(defaults),
      clock_(clock),
      mainQueue_(mainQueue),
      publish_(std::move(publish)),
      telemetry_(registry, clock, bootIdentity),
      reader_(devices, registry, clock),
      connections_(registry),
      power_(registry) {}

FleetSampler::~FleetSampler() { stop(); }

double FleetSampler::threshold() const {
    const auto stored = platform::numberDefault(defaults_, kThresholdKey);
    if (stored && std::isfinite(*stored) && *stored > 0) return *stored;
    return kDefaultThreshold;
}

void FleetSampler::start() {
    connections_.start([this] { coalesce(connectionRefresh_, kConnectionCoalescing, true); });
    power_.startOrAwait([this] { coalesce(powerRefresh_, kPowerCoalescing, false); },
                        [this] { coalesce(powerRefresh_, kPowerCoalescing, false); });
    refresh(true);
}

void FleetSampler::stop() {
    connections_.stop();
    power_.stop();
    if (timer_) timer_->invalidate();
    timer_.reset();
    timerInterval_.reset();
    for (auto* slot : {&connectionRefresh_, &powerRefresh_}) {
        if (*slot) (*slot)->cancel();
        slot->reset();
    }
}

void FleetSampler::coalesce(std::shared_ptr<platform::WorkItem>& slot, platform::Seconds delay, bool readBatteries) {
    if (slot) slot->cancel();
    // The item is cancelled by stop() and by the next event, so it never outlives the sampler.
    slot = std::make_shared<platform::WorkItem>([this, readBatteries] { refresh(readBatteries); });
    mainQueue_.postAfter(delay, slot);
}

void FleetSampler::refresh(bool readBatteries) {
    const Telemetry::DeviceMap devices = telemetry_.connectedDevices();
    Snapshot snapshot = devices.empty() ? Snapshot{} : telemetry_.read(devices);
    const std::vector<const PortReading*> connected = snapshot.connectedReadings();

    // A different set of devices: the old records describe devices that are gone.
    const std::string signature = snapshot.connectionSignature();
    if (signature != signature_) {
        signature_ = signature;
        batteries_.clear();
        cadence_.connectionsChanged(!connected.empty(), clock_.now());
        readBatteries = true;
    }
    observePortFigures(cadence_, connected);

    const platform::Date now = clock_.now();
    if (snapshot.hasMobileDevices() && (readBatteries || cadence_.batteryReadDue(lastBatteryRead_, now))) {
        lastBatteryRead_ = now;
        std::vector<DeviceBattery> read = reader_.readAll(silentDeviceSerials(snapshot));
        fleet_.batteryReadFinished(snapshot, read);
        // A read that timed out leaves the last records, which age out by themselves.
        if (!read.empty()) batteries_ = std::move(read);
    }
    snapshot.batteries = batteries_;
    fleet_.update(snapshot, threshold(), clock_.now());
    if (publish_) publish_(fleet_.state());
    armTimer();
}

void FleetSampler::armTimer() {
    const double interval = cadence_.interval(clock_.now());
    if (timer_ && timerInterval_ == interval) return;
    if (timer_) timer_->invalidate();
    timer_ = mainQueue_.scheduleTimer(platform::Seconds(interval), true, [this] { refresh(false); });
    timerInterval_ = interval;
}

}  // namespace ampwell
