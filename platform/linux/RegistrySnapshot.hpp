#pragma once

#include "platform/linux/UsbDeviceRecord.hpp"
#include "platform/registry/Registry.hpp"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace ampwell::platform::linux_ {

enum class NodeKind { device, interface, port, battery };

// Class name of each kind of entry, and the classes it conforms to.
const char* nodeClassName(NodeKind kind);
bool nodeConformsTo(NodeKind kind, const std::string& className);

// One USB entry of the registry and its place in the two planes.
struct RegistryNode {
    EntryID id = 0;
    NodeKind kind = NodeKind::device;
    const UsbDeviceRecord* record = nullptr;  // the device, or the device owning the interface or port
    std::size_t part = 0;                     // index of the interface or port in the record
    std::optional<EntryID> serviceParent;
    bool inServicePlane = false;
    std::optional<EntryID> portParent;
    bool inPortPlane = false;
    std::vector<EntryID> serviceChildren;
    std::vector<EntryID> portChildren;
};

// The USB part of the registry at one moment, built from device records:
// - IOService plane: each device under the hub it hangs from (root hubs are roots), each
//   interface under its device;
// - IOPort plane: each hub port under the port its hub is plugged into (root hub ports are
//   roots), each device under the port it is plugged into.
// Immutable once built, so entries handed out keep a consistent picture.
class RegistrySnapshot {
public:
    explicit RegistrySnapshot(std::vector<std::shared_ptr<const UsbDeviceRecord>> records);

    const std::vector<std::shared_ptr<const UsbDeviceRecord>>& records() const { return records_; }
    // Devices, each followed by its interfaces and ports: the registry order.
    const std::vector<RegistryNode>& nodes() const { return nodes_; }
    const RegistryNode* find(EntryID id) const;
    // The device entry IDs in order: two snapshots with the same list show the same attachments.
    const std::vector<EntryID>& deviceIDs() const { return deviceIDs_; }

private:
    std::vector<std::shared_ptr<const UsbDeviceRecord>> records_;
    std::vector<RegistryNode> nodes_;
    std::unordered_map<EntryID, std::size_t> byID_;
    std::vector<EntryID> deviceIDs_;
};

}  // namespace ampwell::platform::linux_
