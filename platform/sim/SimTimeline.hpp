#pragma once

#include "platform/sim/SimMobileDeviceList.hpp"
#include "platform/sim/SimRegistry.hpp"
#include "platform/sim/SimulationModel.hpp"

namespace ampwell::platform::sim {

// Carries out one timeline event on the registry and the mobile-device list. Throws
// SimRegistryError for a registry change that is refused, and std::invalid_argument for a
// removal of a mobile device that is not listed.
void applyTimelineEvent(const SimTimelineEvent& event, SimRegistry& registry, SimMobileDeviceList& devices);

}  // namespace ampwell::platform::sim
