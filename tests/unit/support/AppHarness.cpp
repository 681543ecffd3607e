#include "tests/unit/support/AppHarness.hpp"

#include "app/entry/ApplicationLaunch.hpp"
#include "platform/sim/SimulationLoader.hpp"
#include "tests/unit/support/SimulatedIPad.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>

namespace ampwell::test {

std::string deskSimulation(const DeskOptions& options) {
    nlohmann::json details = nlohmann::json::array();
    if (options.iPad) {
        // Without a reading the port also lacks the voltage and current it could be computed from.
        nlohmann::json port = {{"PortIndex", 1}, {"ConfiguredVoltage", 5000}, {"ConfiguredCurrent", 3000}};
        if (options.iPadMilliwatts) {
            port["Watts"] = *options.iPadMilliwatts;
            port["AdapterVoltage"] = 5080;
            port["Current"] = 1700;
        }
        for (int i = 0; i < options.iPadPortListings; ++i) details.push_back(port);
    }
    nlohmann::json registry = nlohmann::json::array({
        {{"id", 4294967800}, {"class", "AppleSmartBattery"},
         {"properties", {{"PowerOutDetails", details}, {"UpdateTime", 1799999990}}}},
        {{"id", 4294968001}, {"class", "IOPortFeatureUSB"}, {"planes", {{"IOPort", nullptr}}},
         {"properties", {{"ParentPortTypeDescription", "USB-C"}, {"ParentPortNumber", 1}}}},
        {{"id", 4294968002}, {"class", "IOPortFeatureUSB"}, {"planes", {{"IOPort", nullptr}}},
         {"properties", {{"ParentPortTypeDescription", "USB-C"}, {"ParentPortNumber", 2}}}},
    });
    if (options.iPad) registry.push_back(iPadUsbDevice(kIPadEntryID, kIPadSession, 4294968001));
    nlohmann::json simulation = {
        {"format", "ampwell-simulation/1"},
        {"clock", {{"start", 1800000000}, {"speed", 0}}},
        {"bootTime", 1799990000},
        {"registry", registry},
        {"mobileDevices", nlohmann::json::array()},
        {"defaults", nlohmann::json::parse(options.defaults)},
        {"timeline", nlohmann::json::parse(options.timeline)},
        {"ui", nlohmann::json::parse(options.ui)},
    };
    return simulation.dump();
}

AppHarness::AppHarness(const DeskOptions& options, std::vector<std::string> arguments) {
    char pattern[] = "/tmp/ampwell-app-XXXXXX";
    directory_ = ::mkdtemp(pattern);
    tracePath = directory_ + "/trace.jsonl";
    logPath = directory_ + "/ui.jsonl";
    if (arguments.empty()) arguments = {"ampwell", "--trace-sampling", tracePath};

    platform_ = std::make_unique<platform::sim::SimPlatform>(
        platform::sim::parseSimulation(deskSimulation(options), "desk.json"));
    desktop_ = std::make_unique<platform::headless::HeadlessDesktop>(*platform_, out_, logPath);
    connector_ = std::make_unique<ScriptedRefreshService>(platform_->mainQueue(), platform_->clock());
    platform::RefreshInstallation installation = installedRefreshComponent();
    if (!options.refreshInstalled) installation.isProtectedRegularFile = [](const std::string&) { return false; };

    batteryAnswer = [this] { return std::vector<DeviceBattery>{iPadBattery(platform_->clock().now())}; };
    ApplicationSeams seams(*platform_);
    seams.historyPath = directory_ + "/history.sqlite3";
    seams.refreshConnector = *connector_;
    seams.refreshInstallation = std::move(installation);
    seams.readBatteries = [this](const std::set<std::string>&) {
        ++batteryReads;
        platform_->clock().sleepUntil(platform_->clock().now() + platform::Seconds(batteryReadSeconds));
        return batteryAnswer();
    };
    app_ = wireMenuBarApplication(std::move(seams), *desktop_, std::move(arguments));
}

AppHarness::~AppHarness() {
    app_->applicationWillTerminate();
    // Let a battery read or a reset in flight come back, so the controller ends here.
    platform_->mainQueue().runUntil(platform_->clock().now() + platform::Seconds(10));
    app_.reset();
    desktop_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(directory_, ignored);
}

void AppHarness::launch() { app_->applicationDidFinishLaunching(); }

void AppHarness::runUntil(double seconds) {
    platform_->mainQueue().runUntil(platform::dateFromSecondsSince1970(start() + seconds));
}

double AppHarness::elapsed() const { return platform::secondsSince1970(platform_->clock().now()) - start(); }

namespace {
std::vector<nlohmann::json> readLines(const std::string& path) {
    std::vector<nlohmann::json> lines;
    std::ifstream file(path);
    std::string line;
    while (std::getline(file, line))
        if (!line.empty()) lines.push_back(nlohmann::json::parse(line));
    return lines;
}
}  // namespace

std::vector<nlohmann::json> AppHarness::events(const std::string& event) const {
    std::vector<nlohmann::json> found;
    for (auto& line : readLines(logPath))
        if (event.empty() || line.value("event", "") == event) found.push_back(std::move(line));
    return found;
}

std::vector<std::string> AppHarness::alertMessages() const {
    std::vector<std::string> messages;
    for (const auto& event : events("alert")) messages.push_back(event["message"]);
    return messages;
}

std::vector<nlohmann::json> AppHarness::trace() const { return readLines(tracePath); }

std::vector<std::pair<double, std::string>> AppHarness::refreshTriggers() const {
    std::vector<std::pair<double, std::string>> triggers;
    for (const auto& record : trace()) {
        const std::string trigger = record.value("trigger", "");
        if (trigger == "system-request" || trigger.ends_with("-draw")) continue;
        triggers.emplace_back(record["time"].get<double>() - start(), trigger);
    }
    return triggers;
}

}  // namespace ampwell::test
