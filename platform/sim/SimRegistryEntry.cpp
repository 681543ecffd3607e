#include "platform/sim/SimRegistryEntry.hpp"

namespace ampwell::platform::sim {

SimRegistryEntry::SimRegistryEntry(std::shared_ptr<SimRegistryState> state, std::shared_ptr<SimNode> node)
    : count_(std::move(state)), node_(std::move(node)) {}

EntryID SimRegistryEntry::entryID() const { return node_->id; }

std::string SimRegistryEntry::className() const { return node_->className; }

bool SimRegistryEntry::conformsTo(const std::string& name) const { return node_->conformsTo(name); }

std::optional<PropertyDictionary> SimRegistryEntry::properties() const {
    if (node_->propertiesFail) return std::nullopt;
    std::lock_guard lock(count_.state().mutex);
    return node_->properties;
}

std::optional<PropertyValue> SimRegistryEntry::property(const std::string& key) const {
    if (node_->propertiesFail) return std::nullopt;
    std::lock_guard lock(count_.state().mutex);
    const auto found = node_->properties.find(key);
    if (found == node_->properties.end()) return std::nullopt;
    return found->second;
}

std::unique_ptr<RegistryEntry> SimRegistryEntry::parent(const std::string& plane) const {
    auto& state = count_.state();
    std::lock_guard lock(state.mutex);
    if (node_->removed) return nullptr;
    const auto inPlane = node_->parents.find(plane);
    if (inPlane == node_->parents.end() || !inPlane->second) return nullptr;
    const auto found = state.byID.find(*inPlane->second);
    if (found == state.byID.end()) return nullptr;
    return std::make_unique<SimRegistryEntry>(count_.shared(), found->second);
}

std::vector<std::unique_ptr<RegistryEntry>> SimRegistryEntry::children(const std::string& plane) const {
    std::vector<std::unique_ptr<RegistryEntry>> result;
    std::lock_guard lock(count_.state().mutex);
    if (node_->removed) return result;
    const auto found = node_->children.find(plane);
    if (found == node_->children.end()) return result;
    result.reserve(found->second.size());
    for (const auto& child : found->second) result.push_back(std::make_unique<SimRegistryEntry>(count_.shared(), child));
    return result;
}

bool SimRegistryEntry::inPlane(const std::string& plane) const {
    std::lock_guard lock(count_.state().mutex);
    if (node_->removed) return false;
    if (node_->parents.count(plane) != 0) return true;
    // An entry that is only named as a parent in a plane is that plane's root.
    const auto found = node_->children.find(plane);
    return found != node_->children.end() && !found->second.empty();
}

}  // namespace ampwell::platform::sim
