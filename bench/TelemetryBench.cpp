// Cost of one telemetry read on the busy desk (BusyDesk.hpp). Beside it, the floor: a bare loop
// making exactly the same registry calls and keeping nothing, so the ratio shows what the reader's
// own logic costs.
#include "app/batteries/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "bench/BusyDesk.hpp"
#include "platform/sim/SimRegistry.hpp"
#include "tests/unit/support/FixedClock.hpp"

#include <benchmark/benchmark.h>

namespace {

using namespace ampwell;
using bench::buildDesk;

struct Desk {
    Desk() { buildDesk(registry); }
    platform::sim::SimRegistry registry;
    testing::FixedClock clock;
    BootIdentity boot{[] { return std::optional<std::int64_t>(1796590000); }};
};

void BM_TelemetryRead(benchmark::State& state) {
    Desk desk;
    Telemetry telemetry(desk.registry, desk.clock, desk.boot);
    for (auto _ : state) {
        Snapshot snapshot = telemetry.read();
        benchmark::DoNotOptimize(snapshot);
    }
}
BENCHMARK(BM_TelemetryRead);

// The same registry calls as one read, with nothing made of their answers.
void BM_BareRegistryFloor(benchmark::State& state) {
    Desk desk;
    auto& registry = desk.registry;
    for (auto _ : state) {
        auto devices = registry.matchingServices("IOUSBHostDevice");
        while (auto device = devices.iterator->next()) {
            benchmark::DoNotOptimize(device->property("USB Product Name"));
            auto current = device->parent(platform::kPortPlane);
            for (int examined = 0; current && examined < 12; ++examined) {
                auto type = current->property("ParentPortTypeDescription");
                if (type && type->stringValue() && *type->stringValue() == "USB-C") {
                    benchmark::DoNotOptimize(current->property("ParentPortNumber"));
                    break;
                }
                current = current->parent(platform::kPortPlane);
            }
            benchmark::DoNotOptimize(device->property("USB Serial Number"));
            benchmark::DoNotOptimize(device->property("sessionID"));
        }
        auto battery = registry.firstMatchingService("AppleSmartBattery");
        benchmark::DoNotOptimize(battery->properties());
        auto components = registry.matchingServices("IOPortTransportComponentCCUSBPDSOP");
        while (auto component = components.iterator->next()) {
            benchmark::DoNotOptimize(component->property("ParentPortTypeDescription"));
            benchmark::DoNotOptimize(component->property("ParentPortNumber"));
            benchmark::DoNotOptimize(component->property("Metadata"));
        }
    }
}
BENCHMARK(BM_BareRegistryFloor);

}  // namespace

BENCHMARK_MAIN();
