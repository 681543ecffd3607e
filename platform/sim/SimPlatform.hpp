#pragma once

#include "platform/Platform.hpp"
#include "platform/base/PlatformError.hpp"
#include "platform/sim/SimClock.hpp"
#include "platform/sim/SimDefaults.hpp"
#include "platform/sim/SimInstanceLock.hpp"
#include "platform/sim/SimMainQueue.hpp"
#include "platform/sim/SimMobileDeviceList.hpp"
#include "platform/sim/SimMobileDeviceService.hpp"
#include "platform/sim/SimRefreshConnector.hpp"
#include "platform/sim/SimRegistry.hpp"
#include "platform/sim/SimSystemLog.hpp"
#include "platform/sim/SimUsbHost.hpp"
#include "platform/sim/SimulationModel.hpp"

#include <atomic>
#include <memory>
#include <string>
#include <thread>

namespace ampwell::platform::sim {

// What the simulated Mac takes from the host's environment: where the instance lock lives when
// the file does not say (see SimInstanceLock).
struct SimPlatformEnvironment {
    const char* runtimeDirectory = nullptr;    // XDG_RUNTIME_DIR
    const char* temporaryDirectory = nullptr;  // TMPDIR
};

// The virtual Mac a simulation file describes. Its timeline is scheduled on the main queue at
// construction, so its events happen while some code runs the loop (runUntil).
class SimPlatform final : public Platform {
public:
    explicit SimPlatform(SimulationModel model, SimPlatformEnvironment environment = {});

    Clock& clock() override { return clock_; }
    MainQueue& mainQueue() override { return queue_; }
    Registry& registry() override { return registry_; }
    Defaults& defaults() override { return defaults_; }
    InstanceLock& instanceLock() override { return lock_; }
    SystemLog& systemLog() override { return log_; }
    MobileDeviceService& mobileDevices() override { return mobileDeviceService_; }
    UsbHost& usbHost() override { return usbHost_; }
    RefreshConnector& refreshConnector() override { return refreshService_; }
    RefreshInstallation refreshInstallation() override { return refreshService_.installation(); }
    // Whole seconds of the file's bootTime (rounded down); nullopt when it gives none.
    std::optional<std::int64_t> bootTimeSeconds() override;
    // "history.sqlite3" in the lock directory: every program on a simulation with the same
    // directory runs on the same Mac, and so shares its history.
    std::string historyPath() override { return lock_.directory() + "/history.sqlite3"; }
    // On a frozen clock: a day, or up to the last timeline event or clock.until when later.
    std::optional<Seconds> playedHistorySpan() override;
    // The file's "ui"; its timeline actions and the quit at clock.until go to its `perform`.
    UserScript* userScript() override { return &userScript_; }
    bool isSimulated() const override { return true; }
    // The simulated machine is a Mac.
    ShortcutStyle shortcutStyle() const override { return ShortcutStyle::command; }
    // "usb-reset" {"entryID", "result", and "code" on failure}, "defaults-write" {"key", "value"},
    // "log" {"text"}, and the refresh service's "refresh-request". Side effects on other threads reach the stream through the main queue. While
    // a stream is set, system-log lines go to it instead of standard error.
    void setEventStream(EventStream* stream) override;

    // The simulation's own parts, for the simulated services built on them and for tests.
    const SimulationModel& model() const { return model_; }
    SimClock& simClock() { return clock_; }
    SimMainQueue& simQueue() { return queue_; }
    SimRegistry& simRegistry() { return registry_; }
    SimDefaults& simDefaults() { return defaults_; }
    SimUsbHost& simUsbHost() { return usbHost_; }
    // The mobile devices listed now; the timeline's "mobile" events change it.
    SimMobileDeviceList& simMobileDevices() { return mobileDevices_; }
    SimMobileDeviceService& simMobileDeviceService() { return mobileDeviceService_; }
    // The refresh service and the daemon it runs; setEventStream connects it to the stream too.
    SimRefreshConnector& simRefreshService() { return refreshService_; }

private:
    void scheduleTimeline();
    // Tells the stream at once on the main thread, through the main queue from any other.
    void tell(const std::string& event, nlohmann::json fields);

    SimulationModel model_;
    SimClock clock_;
    SimMainQueue queue_;
    SimSystemLog log_;
    SimRegistry registry_;
    SimUsbHost usbHost_;
    SimMobileDeviceList mobileDevices_;
    SimMobileDeviceService mobileDeviceService_;
    SimDefaults defaults_;
    SimInstanceLock lock_;
    SimRefreshConnector refreshService_;  // after everything its daemon uses
    UserScript userScript_;
    std::atomic<EventStream*> stream_{nullptr};
    std::thread::id mainThread_;  // the thread that made the platform
};

// The virtual Mac described by the simulation file at `path`. Throws PlatformError with one line
// naming the file, the JSON path at fault and what is wrong.
std::unique_ptr<Platform> makeSimulatedPlatform(const std::string& path);

}  // namespace ampwell::platform::sim
