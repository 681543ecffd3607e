#include "tests/unit/support/SimulatedRegistry.hpp"

namespace ampwell::test {

SimulatedRegistry::SimulatedRegistry()
    : clock(platform::dateFromSecondsSince1970(1'800'000'000), 0), queue(clock), registry(&queue) {}

void SimulatedRegistry::deliver() { queue.runUntil(clock.now()); }

platform::sim::SimEntrySpec SimulatedRegistry::usbDevice(platform::EntryID id,
                                                         std::optional<platform::EntryID> parent) {
    platform::sim::SimEntrySpec entry;
    entry.id = id;
    entry.className = "IOUSBHostDevice";
    entry.planes[platform::kServicePlane] = parent;
    entry.properties.insert_or_assign("USB Product Name",
                                     platform::PropertyValue::string("device " + std::to_string(id)));
    return entry;
}

}  // namespace ampwell::test
