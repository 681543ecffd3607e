#pragma once

#include "app/assessment/BatteryTrendMonitor.hpp"
#include "app/assessment/ChargeMonitor.hpp"
#include "app/assessment/IndicatorState.hpp"
#include "app/assessment/SamplingCadence.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/DeviceBattery.hpp"
#include "app/model/PowerReadingObserver.hpp"
#include "app/model/Snapshot.hpp"
#include "app/model/Telemetry.hpp"
#include "app/model/USBConnectionObserver.hpp"
#include "app/refresh/SystemPowerRefresher.hpp"
#include "app/reset/USBDeviceResetter.hpp"
#include "app/ui/PowerMenuUI.hpp"
#include "app/ui/PowerNotifier.hpp"
#include "app/ui/SamplingTrace.hpp"
#include "platform/base/Clock.hpp"
#include "platform/base/Defaults.hpp"
#include "platform/base/MainQueue.hpp"
#include "platform/base/SerialQueue.hpp"
#include "platform/base/SystemLog.hpp"
#include "platform/base/Translation.hpp"
#include "platform/desktop/Application.hpp"
#include "platform/desktop/Desktop.hpp"
#include "platform/desktop/Menu.hpp"
#include "platform/devices/UsbHost.hpp"
#include "platform/registry/Registry.hpp"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace ampwell {

// What the controller is built from: the machine's seams it uses, the desktop it shows itself
// on, the refresh client it takes over, and the process's arguments (for "--trace-sampling").
struct AppDelegateServices {
    platform::Clock& clock;
    platform::MainQueue& mainQueue;
    platform::Registry& registry;
    platform::Defaults& defaults;
    platform::SystemLog& systemLog;
    platform::UsbHost& usbHost;
    platform::Desktop& desktop;
    // Whole seconds since 1970 of the machine's boot; nullopt when unknown.
    std::function<std::optional<std::int64_t>()> bootTimeSeconds;
    // The blocking battery read of the attached iOS devices; runs on the battery queue. The
    // devices whose normalised serial is given sit on ports the computer is silent about, and are
    // asked for their own account of their supply too.
    std::function<std::vector<DeviceBattery>(const std::set<std::string>& accountSerials)> readBatteries;
    std::unique_ptr<SystemPowerRefresher> systemPowerRefresher;
    std::vector<std::string> arguments;
    // Hears every refresh: the snapshot with the batteries of the last read (before the device
    // accounts are applied) and the threshold it was judged against. Empty: nobody listens.
    std::function<void(const Snapshot& snapshot, double thresholdWatts)> refreshed;
};

// The menu-bar application's controller: owns every long-lived object of the running
// application, keeps the readings current (the refresh engine), presents them in the status item
// and its menu, schedules active refreshes, runs the reset flow and writes the sampling trace.
// Everything runs on the main thread except the battery read and the USB reset, whose results
// come back to the main queue. Made with make(); every callback it hands out holds it weakly.
class AppDelegate final : public platform::ApplicationDelegate,
                          public platform::MenuDelegate,
                          public std::enable_shared_from_this<AppDelegate> {
public:
    static constexpr const char* kBatteryQueueLabel = "local.ampwell.battery-poll";
    static constexpr const char* kResetQueueLabel = "local.ampwell.usb-reset";
    static constexpr const char* kModeKey = "menuDisplayMode";
    static constexpr const char* kThresholdKey = "lowPowerThreshold";
    static constexpr double kDefaultThreshold = 10.0;
    // The preferences entry that turns the active sampling on, when it is available.
    static constexpr const char* kActiveSamplingItemTitle = platform::trMarked("及时更新功率");

    static std::shared_ptr<AppDelegate> make(AppDelegateServices services);
    ~AppDelegate() override;
    AppDelegate(const AppDelegate&) = delete;
    AppDelegate& operator=(const AppDelegate&) = delete;

    // Application lifecycle.
    void applicationDidFinishLaunching() override;
    void applicationWillTerminate() override;

    // Refresh engine.
    void refresh(bool forceBattery, bool queueManualRead,
                 std::optional<std::pair<std::string, std::vector<DeviceBattery>>> receivedBatteries,
                 const std::string& trigger);
    void configurePollingTimer(bool restartMenu);
    void automaticRefresh();
    void manualRefresh();
    void pollBatteries(bool queueIfBusy);
    std::optional<DeviceBattery> freshBattery(const ConnectedDevice& device) const;
    void usbConnectionsChanged();
    void powerReadingsChanged();

    // Active refresh scheduling.
    void startActiveRefresh(const std::set<int>& ports, const std::string& reason, double delay);
    void scheduleActiveRefresh(const std::set<int>& ports, std::uint64_t generation, const std::string& reason,
                               int attempt, double delay);
    void toggleActiveSampling();

    // Menu and settings.
    void menuWillOpen(platform::Menu& menu) override;
    void menuDidClose(platform::Menu& menu) override;
    void changeDisplay(platform::MenuItem& sender);
    void changeThreshold(platform::MenuItem& sender);
    void showInfo();
    void quit();
    void updateActiveSamplingItem();
    void refreshNotificationStatus();
    std::string batteryDescription(const PortReading& port) const;
    // The user's low-power boundary in watts: the stored value when positive and finite, else 10.
    double threshold() const;
    static std::string format(std::optional<double> value, int digits, const std::string& unit);

    // Reset flow.
    void confirmReset(platform::MenuItem& sender);
    void performReset(const std::string& serial, const std::string& connectionID);
    void startReset(const std::string& deviceName, std::function<ResetResult()> operation);

    // Sampling trace.
    void writeSamplingTrace(nlohmann::json record);

    // Read-only views of the state, for the desktop-independent checks of the engine.
    const Snapshot& snapshot() const { return snapshot_; }
    const std::vector<DeviceBattery>& batteries() const { return batteries_; }
    const SamplingCadence& cadence() const { return cadence_; }
    const std::shared_ptr<platform::StatusItem>& statusItem() const { return statusItem_; }
    const std::shared_ptr<platform::Menu>& menu() const { return menu_; }
    const std::shared_ptr<platform::Menu>& resetMenu() const { return resetMenu_; }
    const std::string& mode() const { return mode_; }
    bool mainMenuIsOpen() const { return mainMenuIsOpen_; }
    bool batteryReadRunning() const { return batteryReadRunning_; }
    bool manualReadPending() const { return manualReadPending_; }
    bool resetRunning() const { return resetRunning_; }
    std::optional<double> scheduledPollingInterval() const { return scheduledPollingInterval_; }
    bool timerIsMenuSampler() const { return timerIsMenuSampler_; }
    std::uint64_t activeRefreshGeneration() const { return activeRefreshGeneration_; }
    const std::optional<std::string>& activeRefreshReason() const { return activeRefreshReason_; }
    const SystemPowerRefresher& systemPowerRefresher() const { return *systemPowerRefresher_; }
    PowerNotifier& notifier() { return *notifier_; }

private:
    explicit AppDelegate(AppDelegateServices services);

    // Launch.
    void buildMenu();
    std::shared_ptr<platform::MenuItem> actionItem(const std::string& title, void (AppDelegate::*action)(),
                                                   const std::string& key, const std::string& symbol);
    std::shared_ptr<platform::Menu> buildPreferencesMenu();

    // Engine helpers.
    void cancelActiveRefreshSeries();
    std::set<int> connectedPortNumbers() const;
    // The polling timer fired (the timer holds the controller weakly).
    void pollingTimerFired();

    // Active refresh steps.
    void activeRefreshCompleted(const std::set<int>& ports, std::uint64_t generation, const std::string& reason,
                                int attempt, std::optional<std::uint32_t> status);
    void activeRefreshFollowUp(const std::set<int>& ports, std::uint64_t generation, const std::string& reason,
                               int attempt, bool receivedStatus);

    // Menu helpers.
    void rebuildResetMenu();

    // Presentation step, with the derived values it shares with the trace.
    void presentSnapshot(bool hasDevices, const std::vector<const PortReading*>& connected);
    // Whether `connected` holds the very devices, port by port, that signedConnections_ holds.
    bool signedConnectionsMatch(const std::vector<const PortReading*>& connected) const;
    void rebuildPortRows(const std::vector<const PortReading*>& connected);
    const std::unordered_map<IndicatorState, std::shared_ptr<const platform::Image>>& icons();

    // Alerts.
    // Brings the application forward and shows the alert; `answered` (may be empty) gets the
    // chosen button on the main thread, possibly before this returns.
    void runAlert(platform::Alert alert, platform::AlertPresenter::Answered answered = {});

    // Trace.
    void writeRefreshRecord(const std::string& trigger, platform::Date readStart, platform::Date readEnd);
    RenderCallback traceHook(const std::string& trigger, std::optional<int> port);

    // Weak handle to hand to callbacks.
    std::weak_ptr<AppDelegate> weakSelf() { return weak_from_this(); }

    // Seams and services, not state of the controller's own.
    platform::Clock& clock_;
    platform::MainQueue& mainQueue_;
    platform::Defaults& defaults_;
    platform::SystemLog& systemLog_;
    platform::Desktop& desktop_;
    BootIdentity bootIdentity_;
    Telemetry telemetry_;
    USBDeviceResetter resetter_;
    std::function<std::vector<DeviceBattery>(const std::set<std::string>& accountSerials)> readBatteries_;
    std::function<void(const Snapshot& snapshot, double thresholdWatts)> refreshed_;

    // The controller's state, in its fixed order.
    double compactItemWidth_ = 16.0;
    std::shared_ptr<platform::StatusItem> statusItem_;
    std::shared_ptr<platform::Menu> menu_;
    std::unique_ptr<platform::Timer> timer_;
    std::optional<double> scheduledPollingInterval_;
    bool timerIsMenuSampler_ = false;
    bool mainMenuIsOpen_ = false;
    SamplingCadence cadence_;
    std::optional<platform::Date> lastBatteryReadStarted_;
    std::unique_ptr<SamplingTrace> samplingTrace_;
    USBConnectionObserver connectionObserver_;
    PowerReadingObserver powerObserver_;
    std::unique_ptr<SystemPowerRefresher> systemPowerRefresher_;
    std::shared_ptr<platform::WorkItem> connectionRefresh_;
    std::shared_ptr<platform::WorkItem> powerRefresh_;
    std::shared_ptr<platform::WorkItem> activeRefreshWork_;
    std::uint64_t activeRefreshGeneration_ = 0;
    std::optional<std::string> activeRefreshReason_;
    std::set<std::string> powerRefreshConnections_;
    // The connected ports' devices that the last refresh derived the connection signature and
    // powerRefreshConnections_ from. Nearly every refresh finds the same devices; comparing them
    // in place spares building and sorting a string for each device.
    std::vector<std::pair<int, std::vector<ConnectedDevice>>> signedConnections_;
    std::string signedSignature_;
    Snapshot snapshot_;
    ChargeMonitor chargeMonitor_;
    BatteryTrendMonitor trendMonitor_;
    std::shared_ptr<PowerNotifier> notifier_;
    platform::SerialQueue batteryQueue_;
    std::vector<DeviceBattery> batteries_;
    bool batteryReadRunning_ = false;
    bool manualReadPending_ = false;
    std::string observedConnections_;
    bool resetRunning_ = false;
    std::shared_ptr<platform::Menu> resetMenu_;
    std::unique_ptr<PowerOverviewView> overview_;
    std::unique_ptr<PowerFootnoteView> footnote_;
    std::shared_ptr<platform::MenuItem> portSectionEnd_;
    std::shared_ptr<platform::MenuItem> notificationItem_;
    std::shared_ptr<platform::MenuItem> activeSamplingItem_;
    std::uint64_t notificationStatusRequest_ = 0;
    std::string mode_;
    std::vector<std::shared_ptr<platform::MenuItem>> thresholdChoices_;
    std::optional<std::unordered_map<IndicatorState, std::shared_ptr<const platform::Image>>> icons_;
    std::map<int, std::shared_ptr<platform::MenuItem>> portItems_;
    std::map<int, std::unique_ptr<DevicePowerView>> portViews_;
    std::vector<std::shared_ptr<platform::MenuItem>> displayChoices_;

    // Runs one USB reset at a time off the main thread (user-initiated work).
    platform::SerialQueue resetQueue_;
    bool terminated_ = false;
};

}  // namespace ampwell
