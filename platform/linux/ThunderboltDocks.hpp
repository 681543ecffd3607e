#pragma once

#include "platform/linux/SysfsTree.hpp"

#include <optional>
#include <string>

namespace ampwell::platform::linux_ {

// Where a Thunderbolt or USB4 dock hangs. A dock that brings its own USB controller is reached
// over a PCIe tunnel, so no `connector` link leads from its USB ports to a Type-C port. The port
// is found from the Thunderbolt side instead, and only where the kernel's facts leave one answer:
// - the controller sits below a PCIe port that the firmware ties to a Thunderbolt host (the
//   host's NHI lists that port as a `consumer:pci:` device link);
// - every device router of that host (links to other computers are none) hangs on one host
//   port, the lowest byte of their routes (a dock, and whatever is chained behind it);
// - that host port's `usb4_portN/connector` link names the Type-C port; without the link, the
//   one Type-C port whose partner runs Thunderbolt or USB4, when it is the only such port and
//   this is the only host with device routers.
class ThunderboltDocks {
public:
    // The Type-C port index ("portN") the USB controller at `controllerDevpath` (its PCI device
    // directory) is reached through, when that is certain.
    static std::optional<int> typeCPortOf(const SysfsTree& tree, const std::string& controllerDevpath);
};

}  // namespace ampwell::platform::linux_
