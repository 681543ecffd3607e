// What one scrape costs: copying the last published state of 20 devices and writing it out, as the
// metrics server does for each request, and whether the heap grows with the scrapes.

#include "app/metrics/FleetSampler.hpp"
#include "app/metrics/MetricsExposition.hpp"
#include "tests/unit/metrics/FleetFixture.hpp"

#include <benchmark/benchmark.h>

#include <malloc.h>

#include <string>

namespace ampwell {
namespace {

// 20 ports, one iPad on each, read once through the real sampler.
FleetState twentyDevices() {
    std::vector<test::FleetPortSpec> ports;
    for (int port = 1; port <= 20; ++port) {
        const std::string serial = "00008101-0000000000000" + std::to_string(100 + port);
        ports.push_back({port, 5000, port % 4 == 0 ? 500 : 3000, {{"iPad", serial, 40 + port, true}}});
    }
    auto platform = test::simulatedFleet(ports);
    const BootIdentity boot([&platform] { return platform->bootTimeSeconds(); });
    FleetState state;
    FleetSampler sampler(platform->registry(), platform->mobileDevices(), platform->defaults(), platform->clock(),
                         platform->mainQueue(), boot, [&state](const FleetState& latest) { state = latest; });
    sampler.start();
    sampler.stop();
    return state;
}

void scrapeTwentyDevices(benchmark::State& state, ExpositionFormat format) {
    const FleetState published = twentyDevices();
    FleetState served;
    std::string buffer;
    served = published;
    writeExposition(served, format, "0.1.0", buffer);  // the first scrape grows the storage
    // The heap in use after the first scrape and after all of them: what a scrape keeps grows it.
    const std::size_t before = mallinfo2().uordblks;
    for (auto _ : state) {
        served = published;
        writeExposition(served, format, "0.1.0", buffer);
        benchmark::DoNotOptimize(buffer.data());
    }
    const std::size_t after = mallinfo2().uordblks;
    state.counters["devices"] = static_cast<double>(published.devices.size());
    state.counters["bytes"] = static_cast<double>(buffer.size());
    state.counters["heap_growth_bytes"] = static_cast<double>(after) - static_cast<double>(before);
}

BENCHMARK_CAPTURE(scrapeTwentyDevices, text, ExpositionFormat::prometheusText);
BENCHMARK_CAPTURE(scrapeTwentyDevices, openmetrics, ExpositionFormat::openMetrics);

}  // namespace
}  // namespace ampwell

BENCHMARK_MAIN();
