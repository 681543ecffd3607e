#include "platform/sim/SimBatteryManager.hpp"

namespace ampwell::platform::sim {
namespace {

constexpr const char* kServiceClass = "AppleSmartBatteryManager";

class SimBatteryConnection final : public BatteryManagerConnection {
public:
    explicit SimBatteryConnection(SimBatteryManager& manager) : manager_(manager) {}
    std::uint32_t callMethod(std::uint32_t selector, const std::vector<std::uint64_t>& scalarInputs) override {
        return manager_.command(selector, scalarInputs);
    }

private:
    SimBatteryManager& manager_;
};

class SimBatteryService final : public BatteryManagerService {
public:
    explicit SimBatteryService(SimBatteryManager& manager) : manager_(manager) {}
    BatteryManagerOpenResult open(std::uint32_t type) override {
        if (type != 0) return {kIOReturnBadArgument, nullptr};
        const std::uint32_t code = manager_.script().open;
        if (code != kIOReturnSuccess) return {code, nullptr};
        return {kIOReturnSuccess, std::make_unique<SimBatteryConnection>(manager_)};
    }

private:
    SimBatteryManager& manager_;
};

}  // namespace

SimBatteryManager::SimBatteryManager(Perform perform) : perform_(std::move(perform)) {}

void SimBatteryManager::setScript(const SimRefreshScript& script) {
    std::lock_guard lock(mutex_);
    script_ = script;
}

SimRefreshScript SimBatteryManager::script() const {
    std::lock_guard lock(mutex_);
    return script_;
}

std::unique_ptr<BatteryManagerService> SimBatteryManager::firstMatchingService(const std::string& className) {
    if (className != kServiceClass || !script().batteryManager) return nullptr;
    return std::make_unique<SimBatteryService>(*this);
}

std::uint32_t SimBatteryManager::command(std::uint32_t selector, const std::vector<std::uint64_t>& inputs) {
    if (selector != 4) return kIOReturnUnsupported;
    if (inputs != std::vector<std::uint64_t>{4}) return kIOReturnBadArgument;
    ++commands_;
    const SimRefreshScript current = script();
    if (current.command == kIOReturnSuccess && perform_) perform_(current.actions);
    return current.command;
}

}  // namespace ampwell::platform::sim
