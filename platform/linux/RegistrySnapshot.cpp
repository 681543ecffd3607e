#include "platform/linux/RegistrySnapshot.hpp"

#include "platform/registry/RegistryNames.hpp"

#include <algorithm>
#include <array>

namespace ampwell::platform::linux_ {

namespace {

struct KindClasses {
    const char* name;
    std::array<const char*, 4> conforms;
};

const KindClasses& classesOf(NodeKind kind) {
    using namespace classes;
    static const KindClasses device{kUSBHostDevice, {kUSBHostDevice, kUSBDevice, kService, kRegistryEntry}};
    static const KindClasses usbInterface{kUSBHostInterface, {kUSBHostInterface, kUSBInterface, kService, kRegistryEntry}};
    static const KindClasses port{kUSBHostPort, {kUSBHostPort, kService, kRegistryEntry, ""}};
    static const KindClasses battery{kSmartBattery, {kSmartBattery, kPowerSource, kService, kRegistryEntry}};
    switch (kind) {
    case NodeKind::device: return device;
    case NodeKind::interface: return usbInterface;
    case NodeKind::port: return port;
    case NodeKind::battery: return battery;
    }
    return device;
}

}  // namespace

const char* nodeClassName(NodeKind kind) { return classesOf(kind).name; }

bool nodeConformsTo(NodeKind kind, const std::string& className) {
    if (className.empty()) return false;
    const auto& conforms = classesOf(kind).conforms;
    return std::find(conforms.begin(), conforms.end(), className) != conforms.end();
}

RegistrySnapshot::RegistrySnapshot(std::vector<std::shared_ptr<const UsbDeviceRecord>> records)
    : records_(std::move(records)) {
    std::unordered_map<std::string, EntryID> deviceByPath;
    std::unordered_map<std::string, EntryID> portByPath;
    for (const auto& record : records_) {
        deviceByPath.emplace(record->devpath, record->id);
        for (const auto& port : record->ports) portByPath.emplace(port.devpath, port.id);
    }
    auto lookup = [](const std::unordered_map<std::string, EntryID>& map,
                     const std::optional<std::string>& path) -> std::optional<EntryID> {
        if (!path) return std::nullopt;
        auto found = map.find(*path);
        if (found == map.end()) return std::nullopt;
        return found->second;
    };

    for (const auto& record : records_) {
        const UsbDeviceRecord* owner = record.get();
        RegistryNode device;
        device.id = record->id;
        device.kind = NodeKind::device;
        device.record = owner;
        device.inServicePlane = true;
        if (!record->rootHub) device.serviceParent = lookup(deviceByPath, std::string(parentPath(record->devpath)));
        device.portParent = lookup(portByPath, record->portDevpath);
        device.inPortPlane = device.portParent.has_value();
        nodes_.push_back(std::move(device));
        deviceIDs_.push_back(record->id);

        for (std::size_t i = 0; i < record->interfaces.size(); ++i) {
            RegistryNode interface;
            interface.id = record->interfaces[i].id;
            interface.kind = NodeKind::interface;
            interface.record = owner;
            interface.part = i;
            interface.inServicePlane = true;
            interface.serviceParent = record->id;
            nodes_.push_back(std::move(interface));
        }
        const auto upstream = lookup(portByPath, record->portDevpath);
        for (std::size_t i = 0; i < record->ports.size(); ++i) {
            RegistryNode port;
            port.id = record->ports[i].id;
            port.kind = NodeKind::port;
            port.record = owner;
            port.part = i;
            port.inPortPlane = true;
            port.portParent = upstream;
            nodes_.push_back(std::move(port));
        }
    }

    for (std::size_t i = 0; i < nodes_.size(); ++i) byID_.emplace(nodes_[i].id, i);
    // Children in registry order: a port lists the device plugged into it before the ports of
    // that device (a hub), as the nodes come in that order.
    for (const auto& node : nodes_) {
        if (node.serviceParent) {
            auto parent = byID_.find(*node.serviceParent);
            if (parent != byID_.end()) nodes_[parent->second].serviceChildren.push_back(node.id);
        }
        if (node.portParent) {
            auto parent = byID_.find(*node.portParent);
            if (parent != byID_.end()) nodes_[parent->second].portChildren.push_back(node.id);
        }
    }
}

const RegistryNode* RegistrySnapshot::find(EntryID id) const {
    auto found = byID_.find(id);
    return found == byID_.end() ? nullptr : &nodes_[found->second];
}

}  // namespace ampwell::platform::linux_
