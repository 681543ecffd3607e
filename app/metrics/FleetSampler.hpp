#pragma once

#include "app/assessment/SamplingCadence.hpp"
#include "app/batteries/DeviceBatteryReader.hpp"
#include "app/metrics/DeviceFleet.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/PowerReadingObserver.hpp"
#include "app/model/Telemetry.hpp"
#include "app/model/USBConnectionObserver.hpp"
#include "platform/base/Defaults.hpp"
#include "platform/base/MainQueue.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace ampwell {

// Keeps a DeviceFleet fresh on the main queue: reads the ports on plug and power events and on
// the cadence the menu bar uses, and the batteries as often as that cadence allows. Every refresh
// hands the new state to `publish`, so that whoever serves it never reads a device itself.
//
// Main thread only. The battery read blocks the main thread for at most the reader's timeout;
// nothing served from this thread waits on it.
class FleetSampler {
public:
    using Publish = std::function<void(const FleetState&)>;

    // The menu bar's own setting, so that both judge against the same threshold.
    static constexpr const char* kThresholdKey = "lowPowerThreshold";
    static constexpr double kDefaultThreshold = 10.0;

    FleetSampler(platform::Registry& registry, platform::MobileDeviceService& devices, platform::Defaults& defaults,
                 const platform::Clock& clock, platform::MainQueue& mainQueue, const BootIdentity& bootIdentity,
                 Publish publish);
    ~FleetSampler();
    FleetSampler(const FleetSampler&) = delete;
    FleetSampler& operator=(const FleetSampler&) = delete;

    // Watches plug and power events (where the registry can tell them), refreshes once and starts
    // the timer. Without events the timer alone keeps the readings fresh.
    void start();
    void stop();
    // Reads the ports, and the batteries when `readBatteries` or the cadence says it is time.
    void refresh(bool readBatteries);

    const DeviceFleet& fleet() const { return fleet_; }
    // The threshold as the user set it, or the default when the setting is unusable.
    double threshold() const;

private:
    void armTimer();
    void coalesce(std::shared_ptr<platform::WorkItem>& slot, platform::Seconds delay, bool readBatteries);

    platform::Defaults& defaults_;
    const platform::Clock& clock_;
    platform::MainQueue& mainQueue_;
    Publish publish_;
    Telemetry telemetry_;
    DeviceBatteryReader reader_;
    USBConnectionObserver connections_;
    PowerReadingObserver power_;
    SamplingCadence cadence_;
    DeviceFleet fleet_;
    std::vector<DeviceBattery> batteries_;
    std::string signature_;
    std::optional<platform::Date> lastBatteryRead_;
    std::unique_ptr<platform::Timer> timer_;
    std::optional<double> timerInterval_;
    std::shared_ptr<platform::WorkItem> connectionRefresh_;
    std::shared_ptr<platform::WorkItem> powerRefresh_;
};

}  // namespace ampwell
