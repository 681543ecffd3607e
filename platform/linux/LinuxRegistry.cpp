#include "platform/linux/LinuxRegistry.hpp"

#include "platform/linux/LinuxNotificationPort.hpp"
#include "platform/linux/LinuxRegistryEntry.hpp"
#include "platform/linux/LinuxServiceIterator.hpp"

namespace ampwell::platform::linux_ {

LinuxRegistry::LinuxRegistry(std::string sysfsRoot, const Clock& clock, GLibMainQueue* mainQueue)
    : core_(std::make_shared<RegistryCore>(std::move(sysfsRoot), clock)), mainQueue_(mainQueue) {
    if (mainQueue_ != nullptr && core_->tree().isSystemTree())
        monitor_ = std::make_shared<SharedUdevMonitor>(mainQueue_->context());
}

ServiceMatch LinuxRegistry::matchingServices(const std::string& className) {
    std::shared_ptr<const RegistrySnapshot> snapshot;
    std::function<bool()> unchanged;
    if (usbKindsConformTo(className)) {
        snapshot = core_->usbSnapshot();
        unchanged = [core = core_, ids = snapshot->deviceIDs()] { return core->usbSnapshot()->deviceIDs() == ids; };
    }
    const bool battery = batteryConformsTo(className) && core_->batteryPresent();
    auto entries = LinuxRegistryEntry::matching(core_, snapshot, className, battery);
    return ServiceMatch{kResultSuccess,
                        std::make_unique<LinuxServiceIterator>(std::move(entries), std::move(unchanged))};
}

std::unique_ptr<RegistryEntry> LinuxRegistry::firstMatchingService(const std::string& className) {
    if (usbKindsConformTo(className)) {
        auto snapshot = core_->usbSnapshot();
        for (const auto& node : snapshot->nodes())
            if (nodeConformsTo(node.kind, className)) return std::make_unique<LinuxRegistryEntry>(core_, snapshot, node);
    }
    if (batteryConformsTo(className) && core_->batteryPresent()) return std::make_unique<LinuxRegistryEntry>(core_);
    return nullptr;
}

std::unique_ptr<RegistryEntry> LinuxRegistry::entry(EntryID id) {
    if (id == 0) return nullptr;
    if (id == core_->batteryID()) return core_->batteryPresent() ? std::make_unique<LinuxRegistryEntry>(core_) : nullptr;
    auto snapshot = core_->usbSnapshot();
    const RegistryNode* node = snapshot->find(id);
    if (node == nullptr) return nullptr;
    return std::make_unique<LinuxRegistryEntry>(core_, snapshot, *node);
}

std::unique_ptr<NotificationPort> LinuxRegistry::createNotificationPort() {
    if (!monitor_) return nullptr;
    return LinuxNotificationPort::open(core_, *monitor_);
}

}  // namespace ampwell::platform::linux_
