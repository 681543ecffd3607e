#include "platform/sim/SimMobileDevice.hpp"

namespace ampwell::platform::sim {

SimMobileDevice applyUpdate(SimMobileDevice device, const SimMobileDeviceUpdate& update) {
    device.identifier = update.identifier;
    if (update.clearUsbSerial) device.usbSerial.reset();
    if (update.usbSerial) device.usbSerial = update.usbSerial;
    if (update.clearInterfaceType) device.interfaceType.reset();
    if (update.interfaceType) device.interfaceType = update.interfaceType;
    if (update.connect) device.connect = *update.connect;
    if (update.paired) device.paired = *update.paired;
    if (update.validatePairing) device.validatePairing = *update.validatePairing;
    if (update.startSession) device.startSession = *update.startSession;
    if (update.readDelay) device.readDelay = *update.readDelay;
    for (const auto& [domain, entries] : update.values) {
        auto& target = device.values[domain];
        for (const auto& [key, value] : entries) target.insert_or_assign(key, value);
    }
    if (update.ioregistry) {
        if (!device.ioregistry) device.ioregistry.emplace();
        for (const auto& [name, properties] : *update.ioregistry) {
            auto& target = (*device.ioregistry)[name];
            for (const auto& [key, value] : properties) target.insert_or_assign(key, value);
        }
    }
    return device;
}

std::optional<PropertyValue> copyValue(const SimMobileDevice& device, const std::string& domain,
                                       const std::string& key) {
    const auto found = device.values.find(domain);
    if (found == device.values.end()) return std::nullopt;
    if (key.empty()) return PropertyValue::dictionary(found->second);
    const auto value = found->second.find(key);
    if (value == found->second.end()) return std::nullopt;
    return value->second;
}

}  // namespace ampwell::platform::sim
