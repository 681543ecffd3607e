#pragma once

#include "app/batteries/MobileDeviceAPI.hpp"
#include "app/batteries/USBBatterySessions.hpp"
#include "app/model/DeviceBattery.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/SerialQueue.hpp"
#include "platform/devices/MobileDeviceService.hpp"

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace ampwell {

// Runs battery reads one at a time on its own worker queue and lets callers wait a bounded time
// for them. Callers that arrive while a read is in flight join that read instead of queuing
// another, so a slow or stuck device never piles up work; a caller that gives up leaves the read
// running, and its result serves whoever asks next before it finishes.
class MobileBatteryReadCoordinator {
public:
    static constexpr const char* kQueueLabel = "local.ampwell.device-batteries";

    // `service`, `sessions`' registry and `clock` must outlive the coordinator.
    MobileBatteryReadCoordinator(platform::MobileDeviceService& service, USBBatterySessions sessions,
                                 const platform::Clock& clock);
    // Waits for a read in flight to finish (it uses the service), then ends the worker.
    ~MobileBatteryReadCoordinator();
    MobileBatteryReadCoordinator(const MobileBatteryReadCoordinator&) = delete;
    MobileBatteryReadCoordinator& operator=(const MobileBatteryReadCoordinator&) = delete;

    // The batteries of the read this call started or joined, each tied to its USB session; empty
    // when that read did not finish within `timeout` (measured on the clock). Blocks the caller.
    // Any thread but the worker's. A read this call starts also asks the devices whose normalised
    // serial is in `accountSerials` for their own account; a caller that joins a read in flight
    // gets what that read asked for.
    std::vector<DeviceBattery> request(platform::Seconds timeout, std::set<std::string> accountSerials = {});

private:
    enum class APIState { notLoaded, unavailable, loaded };

    void readJob(std::uint64_t ticket, const std::set<std::string>& accountSerials);
    std::vector<DeviceBattery> readBatteries(const std::set<std::string>& accountSerials);

    platform::MobileDeviceService& service_;
    const USBBatterySessions sessions_;
    const platform::Clock& clock_;

    // Guarded by mutex_.
    std::mutex mutex_;
    std::condition_variable condition_;
    bool inFlight_ = false;
    std::uint64_t requested_ = 0;
    std::uint64_t completed_ = 0;
    std::vector<DeviceBattery> result_;

    // Touched only by jobs on queue_.
    APIState apiState_ = APIState::notLoaded;
    std::unique_ptr<MobileDeviceAPI> api_;

    // Last: its thread is joined before the state above goes away.
    platform::SerialQueue queue_;
};

}  // namespace ampwell
