#pragma once

#include "platform/linux/RegistryCore.hpp"
#include "platform/linux/RegistrySnapshot.hpp"
#include "platform/registry/Registry.hpp"

#include <memory>
#include <string>
#include <vector>

namespace ampwell::platform::linux_ {

// A handle on one entry of the Linux registry. A USB entry keeps the snapshot it was found in, so
// its properties, parents and children stay those of one consistent moment; port and power
// manager properties are read live, since the kernel changes them without replacing anything.
class LinuxRegistryEntry final : public RegistryEntry {
public:
    LinuxRegistryEntry(std::shared_ptr<RegistryCore> core, std::shared_ptr<const RegistrySnapshot> snapshot,
                       const RegistryNode& node);
    // The synthesised power manager entry.
    explicit LinuxRegistryEntry(std::shared_ptr<RegistryCore> core);

    EntryID entryID() const override;
    std::string className() const override;
    bool conformsTo(const std::string& className) const override;
    std::optional<PropertyDictionary> properties() const override;
    std::optional<PropertyValue> property(const std::string& key) const override;
    std::unique_ptr<RegistryEntry> parent(const std::string& plane) const override;
    std::vector<std::unique_ptr<RegistryEntry>> children(const std::string& plane) const override;
    bool inPlane(const std::string& plane) const override;

    // The entries of `className` in registry order: those of `snapshot` (may be null), then the
    // power manager when `withBattery`.
    static std::vector<std::unique_ptr<RegistryEntry>> matching(const std::shared_ptr<RegistryCore>& core,
                                                                const std::shared_ptr<const RegistrySnapshot>& snapshot,
                                                                const std::string& className, bool withBattery);

private:
    NodeKind kind() const { return node_ != nullptr ? node_->kind : NodeKind::battery; }
    std::unique_ptr<RegistryEntry> make(EntryID id) const;

    std::shared_ptr<RegistryCore> core_;
    std::shared_ptr<const RegistrySnapshot> snapshot_;
    const RegistryNode* node_ = nullptr;  // null for the power manager
};

// Whether any entry kind conforms to the class: the USB kinds, or the power manager.
bool usbKindsConformTo(const std::string& className);
bool batteryConformsTo(const std::string& className);

}  // namespace ampwell::platform::linux_
