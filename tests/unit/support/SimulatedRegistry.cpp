#include "tests/unit/support/SimulatedRegistry.hpp"

namespace ampwell::test {

SimulatedRegistry::SimulatedRegistry()
    : clock(platform::dateFromSecondsSince1970(1'800'000'000), 0), queue(clock), registry(&queue) {}

void SimulatedRegistry::deliver() { queue.runUntil(clock.now()); }

platform::sim::SimEntrySpec SimulatedRegistry::usbDevice(platform::EntryID id,
                                                         std::optional<platform::EntryID> parent) {
    platform::sim::SimEntrySpec spec;
    spec.id = id;
    spec.className = "IOUSBHostDevice";
    spec.planes[platform::kServicePlane] = parent;
    spec.properties.insert_or_assign("USB Product Name",
                                     platform::PropertyValue::string("device " + std::to_string(id)));
    return spec;
}

}  // namespace ampwell::test
