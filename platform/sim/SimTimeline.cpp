#include "platform/sim/SimTimeline.hpp"

namespace ampwell::platform::sim {
namespace {

struct Apply {
    SimRegistry& registry;
    SimMobileDeviceList& devices;

    void operator()(const SimAddEvent& add) const { registry.addEntries(add.entries); }
    void operator()(const SimRemoveEvent& remove) const { registry.removeEntry(remove.id); }
    void operator()(const SimSetEvent& set) const { registry.setProperties(set.id, set.properties, set.removedKeys); }
    void operator()(const SimMessageEvent& message) const { registry.sendMessage(message.id, message.type); }
    // The scripted user acts through the desktop, not on the machine (SimPlatform hands it over).
    void operator()(const SimUiEvent&) const {}
    void operator()(const SimMobileEvent& mobile) const {
        if (!mobile.remove) {
            devices.update(mobile.update);
        } else if (!devices.remove(mobile.update.identifier)) {
            throw std::invalid_argument("no mobile device " + mobile.update.identifier + " is listed at this time");
        }
    }
};

}  // namespace

void applyTimelineEvent(const SimTimelineEvent& event, SimRegistry& registry, SimMobileDeviceList& devices) {
    std::visit(Apply{registry, devices}, event.action);
}

}  // namespace ampwell::platform::sim
