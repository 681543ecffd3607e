#pragma once

#include "platform/refresh/BatteryManager.hpp"
#include "platform/sim/SimulationModel.hpp"

#include <atomic>
#include <functional>
#include <mutex>

namespace ampwell::platform::sim {

// The battery manager of the simulated Mac, answering as the current request's script says. A
// refresh command that succeeds hands the script's actions to `perform`. Any thread.
class SimBatteryManager final : public BatteryManager {
public:
    using Perform = std::function<void(const std::vector<SimTimelineEvent>& actions)>;

    explicit SimBatteryManager(Perform perform);

    // The script for the request being handled (the service sets it before handing a request on).
    void setScript(const SimRefreshScript& script);
    std::size_t commandCount() const { return commands_.load(); }

    std::unique_ptr<BatteryManagerService> firstMatchingService(const std::string& className) override;

    // Called by the connection the service opens.
    std::uint32_t command(std::uint32_t selector, const std::vector<std::uint64_t>& inputs);
    SimRefreshScript script() const;

private:
    Perform perform_;
    mutable std::mutex mutex_;
    SimRefreshScript script_;
    std::atomic<std::size_t> commands_{0};
};

}  // namespace ampwell::platform::sim
