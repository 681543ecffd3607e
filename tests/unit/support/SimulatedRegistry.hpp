#pragma once

#include "platform/sim/SimClock.hpp"
#include "platform/sim/SimMainQueue.hpp"
#include "platform/sim/SimRegistry.hpp"

#include <string>

namespace ampwell::test {

// A simulated registry on a frozen clock whose notifications arrive when the test runs the main
// queue (`deliver`).
struct SimulatedRegistry {
    SimulatedRegistry();

    // Runs whatever the main queue has to do now.
    void deliver();
    // A USB device entry (under the IOService root `parent` when given).
    static platform::sim::SimEntrySpec usbDevice(platform::EntryID id, std::optional<platform::EntryID> parent = {});

    platform::sim::SimClock clock;
    platform::sim::SimMainQueue queue;
    platform::sim::SimRegistry registry;
};

}  // namespace ampwell::test
