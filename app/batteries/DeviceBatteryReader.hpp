#pragma once

#include "app/batteries/DeviceBattery.hpp"
#include "app/batteries/MobileBatteryReadCoordinator.hpp"
#include "platform/Clock.hpp"
#include "platform/Platform.hpp"

#include <vector>

namespace ampwell {

// The process's battery reader: one shared worker, made on first use, that every caller of the
// program goes through, so that the mobile-device service is driven from one queue only.
class DeviceBatteryReader {
public:
    // How long a caller waits for a read.
    static constexpr platform::Seconds kTimeout{4.0};

    // The shared worker over `platform`'s mobile-device service, registry and clock, made on the
    // first call. Every call of a process must pass the same platform (std::logic_error if not).
    static MobileBatteryReadCoordinator& worker(platform::Platform& platform);
    // The attached devices' batteries, tied to their USB sessions; empty after kTimeout.
    static std::vector<DeviceBattery> readAll(platform::Platform& platform);
    // Ends the shared worker, after the read in flight (if any) has finished. Whoever owns the
    // platform calls it before the platform goes away; harmless when there is no worker.
    static void endWorker();
};

}  // namespace ampwell
