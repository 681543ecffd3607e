#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ampwell {

// One external USB device the user may reset, as it was seen when the list was read. A plain
// value: the reset checks every identifying field again against the live device before acting.
struct USBResetTarget {
    std::uint64_t registryID = 0;     // entry ID of the device's "IOUSBHostDevice" entry; never 0
    std::string productName;          // trimmed; never empty
    std::string serial;               // exactly as stored; "" when the device has none
    std::string sessionID;            // decimal digits of the USB session; never empty, never "0"
    std::optional<std::int64_t> vendorID;
    bool isHub = false;
    std::optional<std::int64_t> port;  // physical port number; when present it is above 0
};

// All seven fields; the texts compare by canonical equivalence, so a composed and a decomposed
// spelling of the same name are the same target.
bool operator==(const USBResetTarget& left, const USBResetTarget& right);

// Feeds the fields in declaration order; each optional adds a presence flag (0, or 1 and then the
// value) and `isHub` adds 0 or 1. Texts are hashed in canonical form, so equal targets hash equally.
std::size_t hashValue(const USBResetTarget& target);

// The order of the reset list: devices with a known port first, by ascending port; then product
// names in code-point order after canonical normalisation (case-sensitive, independent of the
// locale); then ascending registry ID. A strict weak order, fit for a stable sort.
bool comesBefore(const USBResetTarget& left, const USBResetTarget& right);

}  // namespace ampwell

template <>
struct std::hash<ampwell::USBResetTarget> {
    std::size_t operator()(const ampwell::USBResetTarget& target) const { return ampwell::hashValue(target); }
};
