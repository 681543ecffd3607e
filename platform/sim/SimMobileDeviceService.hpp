#pragma once

#include "platform/base/Clock.hpp"
#include "platform/devices/MobileDeviceService.hpp"
#include "platform/sim/SimMobileDeviceList.hpp"

#include <cstdint>
#include <mutex>

namespace ampwell::platform::sim {

// What a call returns for a device that was listed but is no longer attached.
inline constexpr std::int32_t kMobileDeviceGone = static_cast<std::int32_t>(0xE8000084);

// The simulated mobile-device framework over the devices the simulation lists. Each answer comes
// from the device as it is at the time of the call, so a timeline event that changes or removes a
// device between the list and the read is seen the way a real unplug would be: a removed device
// refuses the connection and gives no values. A device's `readDelay` is spent in `connect`, on
// the simulated clock, so that a frozen clock sees a slow device without real waiting.
class SimMobileDeviceService final : public MobileDeviceService {
public:
    // `available` false: the framework cannot be loaded. `devices` and `clock` must outlive it.
    SimMobileDeviceService(const SimMobileDeviceList& devices, const Clock& clock, bool available);

    State state() const override;
    State load() override;
    std::optional<std::vector<std::shared_ptr<MobileDevice>>> createDeviceList() override;
    std::int32_t connect(MobileDevice& device) override;
    void disconnect(MobileDevice& device) override;
    std::int32_t isPaired(MobileDevice& device) override;
    std::int32_t validatePairing(MobileDevice& device) override;
    std::int32_t startSession(MobileDevice& device) override;
    void stopSession(MobileDevice& device) override;
    std::optional<std::string> copyDeviceIdentifier(MobileDevice& device) override;
    std::optional<std::string> copyDeviceUSBSerialNumber(MobileDevice& device) override;
    std::optional<PropertyValue> copyValue(MobileDevice& device, const std::optional<std::string>& domain,
                                           const std::optional<std::string>& key) override;
    std::optional<PropertyDictionary> queryRegistryEntry(MobileDevice& device, const std::string& entryName) override;
    std::optional<std::int32_t> interfaceType(MobileDevice& device) override;

    // Connections and sessions opened and not yet closed, so tests can see that every read
    // closes what it opened. Any thread.
    int openConnections() const;
    int openSessions() const;
    // Registry-entry queries answered or refused so far, so benchmarks and tests can see who was
    // asked. Any thread.
    int registryQueries() const;

private:
    std::optional<SimMobileDevice> current(const MobileDevice& device) const;

    const SimMobileDeviceList& devices_;
    const Clock& clock_;
    const bool available_;
    mutable std::mutex mutex_;
    State state_ = State::notLoaded;
    int openConnections_ = 0;
    int openSessions_ = 0;
    int registryQueries_ = 0;
};

}  // namespace ampwell::platform::sim
