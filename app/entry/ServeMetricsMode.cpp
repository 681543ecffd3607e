#include "app/entry/Modes.hpp"
#include "app/entry/UsageText.hpp"
#include "app/history/HistoryRecorder.hpp"
#include "app/metrics/FleetSampler.hpp"
#include "app/metrics/MetricsServer.hpp"
#include "app/model/BootIdentity.hpp"
#include "platform/base/HostedQueue.hpp"
#include "platform/base/TerminationSignals.hpp"

#include <atomic>
#include <ostream>

namespace ampwell {

namespace {

// How far each run of the main loop looks ahead; the loop is simply run again after it.
constexpr platform::Seconds kRunSpan{86400.0};

}  // namespace

int runServeMetrics(ModeContext& context, const std::string& value) {
    const std::optional<ListenAddress> address = parseListenAddress(value);
    if (!address) {
        context.err() << "ampwell: --serve-metrics: expected [HOST:]PORT, found \"" << value << "\"\n";
        return 1;
    }
    auto& platform = context.platform();
    // A clock that stands still moves only as fast as the loop runs: a server would race through
    // virtual time on a whole core and serve readings that no longer match any wall-clock time.
    const auto* hosted = dynamic_cast<const platform::HostedQueue*>(&platform.mainQueue());
    if (hosted != nullptr && hosted->clockSpeed() == 0) {
        context.err() << "ampwell: --serve-metrics: the simulated clock stands still (\"speed\": 0); "
                         "a server needs one that runs: give the simulation file's clock a speed of 1 "
                         "or more\n";
        return 1;
    }
    MetricsServer server{std::string(kVersion)};
    // The tray may write the same file at the same time; the store shares it safely.
    HistoryRecorder history(HistoryStoreOptions{platform.historyPath()}, platform.clock(), platform.systemLog());
    const BootIdentity bootIdentity([&platform] { return platform.bootTimeSeconds(); });
    FleetSampler sampler(platform.registry(), platform.mobileDevices(), platform.defaults(), platform.clock(),
                         platform.mainQueue(), bootIdentity, [&server, &history](const FleetState& state) {
                             server.publish(state);
                             history.record(state);
                         });
    // The first readings are in before the first scraper can connect, so no scrape is empty.
    sampler.start();
    const auto port = server.start(*address);
    if (!port) {
        context.err() << "ampwell: --serve-metrics " << value << ": " << port.error() << '\n';
        return 1;
    }
    const bool bracketed = address->host.find(':') != std::string::npos;
    context.out() << "ampwell: serving metrics at http://" << (bracketed ? "[" : "") << address->host
                  << (bracketed ? "]" : "") << ':' << *port << "/metrics" << std::endl;
    // Serves until the process is stopped (systemd's SIGTERM, or Ctrl-C); then the history writes
    // the rows it still holds, as the objects above go.
    std::atomic<bool> stopping{false};
    const platform::TerminationSignals signals([&platform, &stopping](int) {
        stopping = true;
        platform.mainQueue().post([] {});
    });
    while (!platform.mainQueue().runUntil(platform.clock().now() + kRunSpan, [&stopping] { return stopping.load(); })) {
    }
    return 0;
}

}  // namespace ampwell
