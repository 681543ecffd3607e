#pragma once

#include "platform/base/PropertyValue.hpp"
#include "platform/linux/SysfsTree.hpp"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ampwell::platform::linux_ {

// One port of the USB Type-C class (/sys/class/typec/portN) as far as power output goes.
struct TypeCPort {
    int index = 0;              // N of "portN": the kernel's registration index
    std::string devpath;        // the port's device directory
    std::string powerRole;      // the current role ("source", "sink"), empty when unknown
    bool hasPartner = false;    // something is attached ("portN-partner" exists)
    std::string operationMode;  // power_operation_mode: "default", "1.5A", "3.0A", "usb_power_delivery"
};

// Reads the Type-C ports and turns them into the power manager's view of the output ports.
class TypeCPorts {
public:
    // The registered ports, by index.
    static std::vector<TypeCPort> read(const SysfsTree& tree);
    // True when at least one Type-C port is registered (cheaper than read()).
    static bool anyPort(const SysfsTree& tree);
    // The Type-C port index a USB port directory is wired to (its `connector` link), if any.
    static std::optional<int> connectorIndex(const SysfsTree& tree, const std::string& usbPortDevpath);
    // "PowerOutDetails": one dictionary per port that is a source with a partner. "PortIndex" is
    // the index + 1; "ConfiguredVoltage"/"ConfiguredCurrent" (mV, mA) only where the advertised
    // Type-C current fixes them; measured "AdapterVoltage", "Current", "Watts" (mV, mA, mW) only
    // from a power supply the driver registered on that very port.
    static PropertyArray powerOutDetails(const SysfsTree& tree);

    // The bracketed choice of a role attribute ("[source] sink" → "source"); a lone word is the
    // role itself.
    static std::string currentChoice(std::string_view attribute);
    // "portN" → N; nullopt for partners, cables, plugs and anything else.
    static std::optional<int> portIndex(std::string_view name);
};

}  // namespace ampwell::platform::linux_
