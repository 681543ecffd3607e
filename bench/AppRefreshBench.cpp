// Cost of one refresh of the menu-bar controller on the busy desk (BusyDesk.hpp): enumeration,
// registry read, judgement, presentation into the retained menu and status item. Beside it, in
// the same run, the registry read alone (device enumeration and Telemetry::read), which is the
// floor a refresh cannot go below; the target is at most 1.5 times that floor.
#include "app/entry/ApplicationLaunch.hpp"
#include "app/model/Telemetry.hpp"
#include "bench/BusyDesk.hpp"
#include "platform/desktop/headless/HeadlessDesktop.hpp"
#include "platform/sim/SimPlatform.hpp"
#include "platform/sim/SimulationLoader.hpp"

#include <benchmark/benchmark.h>

#include <ostream>
#include <streambuf>
#include <utility>

namespace {

using namespace ampwell;

// Swallows the headless desktop's readable lines.
class NullBuffer final : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

// No refresh service: the component counts as missing, so no request is ever made.
class NoRefreshService final : public platform::RefreshConnector {
public:
    std::unique_ptr<platform::RefreshConnection> connect(const std::string&, std::uint64_t) override { return nullptr; }
};

struct BusyDeskPlatform {
    BusyDeskPlatform()
        : platform(platform::sim::parseSimulation(
              R"({"format": "ampwell-simulation/1", "clock": {"start": 1796596210, "speed": 0},
                  "bootTime": 1796590000})",
              "busy-desk.json")) {
        bench::buildDesk(platform.simRegistry());
    }
    platform::sim::SimPlatform platform;
};

void BM_RegistryReadAlone(benchmark::State& state) {
    BusyDeskPlatform desk;
    BootIdentity boot([&desk] { return desk.platform.bootTimeSeconds(); });
    Telemetry telemetry(desk.platform.registry(), desk.platform.clock(), boot);
    for (auto _ : state) {
        auto devices = telemetry.connectedDevices();
        Snapshot snapshot = telemetry.read(devices);
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(BM_RegistryReadAlone);

void BM_ControllerRefresh(benchmark::State& state) {
    BusyDeskPlatform desk;
    auto& platform = desk.platform;
    NullBuffer nothing;
    std::ostream out(&nothing);
    platform::headless::HeadlessDesktop desktop(platform, out);
    NoRefreshService connector;
    const platform::RefreshInstallation missing{"/helper", "/daemon.plist", [](const std::string&) { return false; }, true};
    ApplicationSeams seams(platform);
    seams.refreshConnector = connector;
    seams.refreshInstallation = missing;
    seams.readBatteries = [](const std::set<std::string>&) { return std::vector<DeviceBattery>{}; };
    auto app = wireMenuBarApplication(std::move(seams), desktop, {"ampwell"});
    app->applicationDidFinishLaunching();
    for (auto _ : state) app->refresh(false, false, std::nullopt, "timer");
    app->applicationWillTerminate();
}
BENCHMARK(BM_ControllerRefresh);

}  // namespace

BENCHMARK_MAIN();
