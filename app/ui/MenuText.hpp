#pragma once

#include "app/model/PortReading.hpp"
#include "app/reset/USBResetTarget.hpp"

#include <optional>
#include <span>
#include <string>
#include <vector>

namespace ampwell {

// The texts of the status item and the menu that do not depend on the controller's state.

// A measurement as "12.3 W": rounded to `digits` decimals, a space, the unit; "— W" when absent.
std::string formatMeasurement(std::optional<double> value, int digits, const std::string& unit);

// The boundary as the texts print it: truncated to an integer. Values beyond the range of a
// 64-bit integer are still printed in full, never wrapped.
std::string truncatedWatts(double watts);

// The title of one entry of the reset submenu; `all` is the whole list, which decides whether a
// bracketed registry-ID suffix is needed to tell two same-named devices on one port apart.
std::string resetItemTitle(const USBResetTarget& target, const std::vector<USBResetTarget>& all);

// The second half of the status item's tooltip: the colour legend with the boundary.
std::string statusLegend(double threshold);

// The informative text of the About dialog.
std::string aboutInformativeText(double threshold);

// What a figure that is not the computer's own is marked with, after it: "（设备自报输入）" for the
// device's measured input, "（充电器标称）" for the charger's offer; empty for the computer's.
std::string figureNote(FigureSource source);

// The electrical line of a port card: volts / amps · negotiated limit, or "正在读取功率…"; for a
// device's account, what kind of account it is first.
std::string electricalText(const PortReading& port);

// What the status item's title shows after its image, by display mode; empty for "icon".
struct ModeTextInputs {
    std::string mode;
    // The snapshot has an error and no figure stands in for the computer's.
    bool snapshotHasError = false;
    // The port carrying the single iPad (null when there is none), and whether other devices
    // share it. The readings are the caller's, not copies: this runs on every refresh.
    const PortReading* iPadPort = nullptr;
    std::span<const PortReading* const> connectedPorts;
    std::optional<double> total;
    bool someWattsMissing = false;
};
std::string statusModeText(const ModeTextInputs& inputs);

}  // namespace ampwell
