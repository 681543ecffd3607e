// Feeds random registries to the telemetry reader and the USB session map. Whatever the registry
// holds, both must return normally, release every handle, and keep their own invariants.
#include "app/batteries/USBBatterySessions.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "fuzz/RandomRegistry.hpp"
#include "tests/unit/support/FixedClock.hpp"

#include <cstdlib>

namespace {

void require(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace ampwell;
    FuzzedDataProvider input(data, size);
    platform::sim::SimRegistry registry;
    fuzzing::fillRandomRegistry(input, registry);

    ampwell::testing::FixedClock clock;
    BootIdentity boot([] { return std::optional<std::int64_t>(1796590000); });
    {
        Telemetry telemetry(registry, clock, boot);
        const Snapshot snapshot = telemetry.read();
        for (std::size_t i = 0; i < snapshot.ports.size(); ++i) {
            const auto& port = snapshot.ports[i];
            require(i == 0 || snapshot.ports[i - 1].port <= port.port);
            require(port.devices == deviceNames(port.connections));
            require(!port.reportedBatteryPercent || (*port.reportedBatteryPercent >= 0 && *port.reportedBatteryPercent <= 100));
            for (auto value : {port.watts, port.volts, port.amps, port.configuredWatts})
                require(!value || *value >= 0);
        }
        require(snapshot.error.has_value() == snapshot.ports.empty());
        (void)toJSON(snapshot).dump(2);

        USBBatterySessions sessions(registry);
        for (const auto& [serial, session] : sessions.current()) {
            require(!serial.empty());
            require(!session.empty() && session != "0");
        }
    }
    require(registry.liveHandleCount() == 0);
    return 0;
}
