#pragma once

#include "platform/devices/UsbHost.hpp"
#include "platform/sim/SimRegistry.hpp"

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace ampwell::platform::sim {

// What the simulated host answers for one device. Without a script both calls succeed.
struct SimUsbScript {
    std::optional<UsbHostError> openError;   // opening a client fails with this error
    std::optional<UsbHostError> resetError;  // the reset fails with this error; the device stays
};

// The USB host of the simulated Mac. A successful reset does what a real one does to the registry:
// the device's entry (with everything below it) goes away and comes back at once under a new
// registry ID and a new "sessionID", firing the terminate and first-match notifications. A script
// belongs to a registry ID: a device re-enumerated under a new ID starts unscripted, as a freshly
// attached one does. Thread-safe.
class SimUsbHost final : public UsbHost {
public:
    // New registry IDs are above `reservedIDsUpTo` (the IDs the simulation file may still add) and
    // above every ID present or handed out before.
    explicit SimUsbHost(SimRegistry& registry, EntryID reservedIDsUpTo = 0);
    ~SimUsbHost() override;

    UsbHostOpenResult open(const RegistryEntry& device) override;

    void setScript(EntryID id, SimUsbScript script);
    // Called after every reset call, on the thread that made it, with the entry ID and the error
    // (nullopt when the device was reset); empty: nobody is told.
    using ResetObserver = std::function<void(EntryID, const std::optional<UsbHostError>&)>;
    void setResetObserver(ResetObserver observer);
    // The registry IDs reset was called for, failed calls included, in call order.
    std::vector<EntryID> resetCalls() const;
    // Clients opened and not yet destroyed.
    std::size_t openClientCount() const;

    struct State;

private:
    std::shared_ptr<State> state_;
};

}  // namespace ampwell::platform::sim
