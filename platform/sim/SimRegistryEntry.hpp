#pragma once

#include "platform/registry/Registry.hpp"
#include "platform/sim/SimRegistryState.hpp"

#include <memory>

namespace ampwell::platform::sim {

// A retained handle on one simulated entry; counted as live until destroyed.
// Once its entry is removed from the registry the handle keeps answering with the entry's last
// identity, class and properties (as a retained object would), while the walks see a detached
// entry: no parent, no children, in no plane.
class SimRegistryEntry final : public RegistryEntry {
public:
    SimRegistryEntry(std::shared_ptr<SimRegistryState> state, std::shared_ptr<SimNode> node);

    EntryID entryID() const override;
    std::string className() const override;
    bool conformsTo(const std::string& className) const override;
    std::optional<PropertyDictionary> properties() const override;
    std::optional<PropertyValue> property(const std::string& key) const override;
    std::unique_ptr<RegistryEntry> parent(const std::string& plane) const override;
    std::vector<std::unique_ptr<RegistryEntry>> children(const std::string& plane) const override;
    bool inPlane(const std::string& plane) const override;

    const std::shared_ptr<SimNode>& node() const { return node_; }
    const SimRegistryState* owner() const { return &count_.state(); }

private:
    SimHandleCount count_;
    std::shared_ptr<SimNode> node_;
};

}  // namespace ampwell::platform::sim
