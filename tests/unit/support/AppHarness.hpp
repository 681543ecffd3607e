#pragma once

#include "app/model/DeviceBattery.hpp"
#include "app/ui/AppDelegate.hpp"
#include "platform/desktop/headless/HeadlessDesktop.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "tests/unit/support/ScriptedRefreshService.hpp"

#include <nlohmann/json.hpp>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace ampwell::test {

// What the simulated desk of an application test holds.
struct DeskOptions {
    bool iPad = true;                      // an iPad on USB-C port 1, session 1234567
    std::optional<int> iPadMilliwatts = 8640;  // its port's reading; empty: no reading yet
    int iPadPortListings = 1;              // how often the power source lists that port
    std::string timeline = "[]";           // the file's timeline
    std::string ui = "{}";                 // the file's scripted user
    std::string defaults = "{}";
    bool refreshInstalled = false;         // the active-refresh component
};

// The simulation file text for `options` (frozen clock at 1 800 000 000 s, boot 1 799 990 000).
std::string deskSimulation(const DeskOptions& options);

// The real controller on a simulated desk and the headless desktop, on a frozen clock, wired as the
// program wires it but for the refresh service (scripted) and the battery read: each read counts
// in `batteryReads`, takes `batteryReadSeconds` of simulated time and answers `batteryAnswer` (by
// default one reading of the iPad, stamped with its current session).
class AppHarness {
public:
    explicit AppHarness(const DeskOptions& options = {}, std::vector<std::string> arguments = {});
    ~AppHarness();

    // Runs the launch sequence.
    void launch();
    // Runs the main queue until `seconds` after the start of the simulation.
    void runUntil(double seconds);
    // Seconds since the start of the simulation.
    double elapsed() const;
    double start() const { return 1'800'000'000.0; }

    // The desktop's JSON events named `event` (all when empty), in order.
    std::vector<nlohmann::json> events(const std::string& event = "") const;
    // The messages of the alerts shown so far, in order.
    std::vector<std::string> alertMessages() const;
    // The lines of the sampling trace, parsed.
    std::vector<nlohmann::json> trace() const;
    // The triggers of the refresh records of the trace, with their times since the start.
    std::vector<std::pair<double, std::string>> refreshTriggers() const;

    platform::sim::SimPlatform& platform() { return *platform_; }
    platform::headless::HeadlessDesktop& desktop() { return *desktop_; }
    AppDelegate& app() { return *app_; }
    std::shared_ptr<AppDelegate>& appPointer() { return app_; }
    ScriptedRefreshService& refreshService() { return *connector_; }

    // Battery reads made so far, and what each returns.
    std::atomic<int> batteryReads{0};
    double batteryReadSeconds = 1.0;
    std::function<std::vector<DeviceBattery>()> batteryAnswer;

    std::string tracePath;
    std::string logPath;

private:
    std::unique_ptr<platform::sim::SimPlatform> platform_;
    std::ostringstream out_;
    std::unique_ptr<platform::headless::HeadlessDesktop> desktop_;
    std::unique_ptr<ScriptedRefreshService> connector_;
    std::shared_ptr<AppDelegate> app_;
    std::string directory_;
};

}  // namespace ampwell::test
