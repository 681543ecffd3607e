#include "platform/linux/LinuxRegistryEntry.hpp"

namespace ampwell::platform::linux_ {

LinuxRegistryEntry::LinuxRegistryEntry(std::shared_ptr<RegistryCore> core,
                                       std::shared_ptr<const RegistrySnapshot> snapshot, const RegistryNode& node)
    : core_(std::move(core)), snapshot_(std::move(snapshot)), node_(&node) {}

LinuxRegistryEntry::LinuxRegistryEntry(std::shared_ptr<RegistryCore> core) : core_(std::move(core)) {}

EntryID LinuxRegistryEntry::entryID() const { return node_ != nullptr ? node_->id : core_->batteryID(); }

std::string LinuxRegistryEntry::className() const { return nodeClassName(kind()); }

bool LinuxRegistryEntry::conformsTo(const std::string& className) const { return nodeConformsTo(kind(), className); }

std::optional<PropertyDictionary> LinuxRegistryEntry::properties() const {
    switch (kind()) {
    case NodeKind::device: return node_->record->properties;
    case NodeKind::interface: return node_->record->interfaces[node_->part].properties;
    case NodeKind::port: return core_->portProperties(node_->record->ports[node_->part].devpath);
    case NodeKind::battery: return core_->batteryProperties();
    }
    return std::nullopt;
}

std::optional<PropertyValue> LinuxRegistryEntry::property(const std::string& key) const {
    const PropertyDictionary* stored = nullptr;
    if (kind() == NodeKind::device) stored = &node_->record->properties;
    if (kind() == NodeKind::interface) stored = &node_->record->interfaces[node_->part].properties;
    if (stored != nullptr) {
        auto found = stored->find(key);
        if (found == stored->end()) return std::nullopt;
        return found->second;
    }
    auto all = properties();
    if (!all) return std::nullopt;
    auto found = all->find(key);
    if (found == all->end()) return std::nullopt;
    return found->second;
}

std::unique_ptr<RegistryEntry> LinuxRegistryEntry::make(EntryID id) const {
    if (!snapshot_) return nullptr;
    const RegistryNode* node = snapshot_->find(id);
    if (node == nullptr) return nullptr;
    return std::make_unique<LinuxRegistryEntry>(core_, snapshot_, *node);
}

std::unique_ptr<RegistryEntry> LinuxRegistryEntry::parent(const std::string& plane) const {
    if (node_ == nullptr) return nullptr;
    if (plane == kServicePlane && node_->serviceParent) return make(*node_->serviceParent);
    if (plane == kPortPlane && node_->portParent) return make(*node_->portParent);
    return nullptr;
}

std::vector<std::unique_ptr<RegistryEntry>> LinuxRegistryEntry::children(const std::string& plane) const {
    std::vector<std::unique_ptr<RegistryEntry>> result;
    if (node_ == nullptr) return result;
    const std::vector<EntryID>* ids = nullptr;
    if (plane == kServicePlane) ids = &node_->serviceChildren;
    if (plane == kPortPlane) ids = &node_->portChildren;
    if (ids == nullptr) return result;
    for (EntryID id : *ids)
        if (auto child = make(id)) result.push_back(std::move(child));
    return result;
}

bool LinuxRegistryEntry::inPlane(const std::string& plane) const {
    if (node_ == nullptr) return plane == kServicePlane;
    if (plane == kServicePlane) return node_->inServicePlane;
    if (plane == kPortPlane) return node_->inPortPlane;
    return false;
}

std::vector<std::unique_ptr<RegistryEntry>> LinuxRegistryEntry::matching(
    const std::shared_ptr<RegistryCore>& core, const std::shared_ptr<const RegistrySnapshot>& snapshot,
    const std::string& className, bool withBattery) {
    std::vector<std::unique_ptr<RegistryEntry>> entries;
    if (snapshot) {
        for (const auto& node : snapshot->nodes())
            if (nodeConformsTo(node.kind, className))
                entries.push_back(std::make_unique<LinuxRegistryEntry>(core, snapshot, node));
    }
    if (withBattery && batteryConformsTo(className)) entries.push_back(std::make_unique<LinuxRegistryEntry>(core));
    return entries;
}

bool usbKindsConformTo(const std::string& className) {
    return nodeConformsTo(NodeKind::device, className) || nodeConformsTo(NodeKind::interface, className) ||
           nodeConformsTo(NodeKind::port, className);
}

bool batteryConformsTo(const std::string& className) { return nodeConformsTo(NodeKind::battery, className); }

}  // namespace ampwell::platform::linux_
