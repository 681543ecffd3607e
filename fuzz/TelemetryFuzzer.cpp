// Feeds random registries to the telemetry reader and the USB session map. Whatever the registry
// holds, both must return normally, release every handle, and keep their own invariants.
#include "app/batteries/USBBatterySessions.hpp"
#include "app/model/BootIdentity.hpp"
#include "app/model/Telemetry.hpp"
#include "fuzz/RandomRegistry.hpp"
#include "tests/unit/support/FixedClock.hpp"
#include "tests/unit/support/SnapshotInvariants.hpp"

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
        require(ampwell::testing::brokenSnapshotRule(snapshot).empty());
        // As --snapshot prints it: a name that is not UTF-8 is shown with replacement characters.
        (void)toJSON(snapshot).dump(2, ' ', false, nlohmann::json::error_handler_t::replace);

        USBBatterySessions sessions(registry);
        for (const auto& [serial, session] : sessions.current()) {
            require(!serial.empty());
            require(!session.empty() && session != "0");
        }
    }
    require(registry.liveHandleCount() == 0);
    return 0;
}
