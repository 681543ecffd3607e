#pragma once

#include "app/assessment/SamplingCadence.hpp"
#include "app/model/Snapshot.hpp"
#include "platform/base/Clock.hpp"

#include <set>
#include <string>
#include <vector>

namespace ampwell {

// Where the computer reports nothing for a port (most Linux laptops for a port they feed, every
// plain USB port), the device on it may say what it receives. These rules decide whose account is
// asked for and where it stands in: the computer's own reading always wins.

// Tells `cadence` whether the connected ports still wait for power figures. A port the computer
// has said it does not measure (a plain USB port, or one it lists with an agreed limit and no
// figure, as Linux does for the ports it feeds) will not get a figure by asking again: it neither
// counts as missing nor, when every port is one, keeps the cadence fast.
void observePortFigures(SamplingCadence& cadence, const std::vector<const PortReading*>& connected);

// A port is silent when the computer gave no output figure for it, or the figure shown is already
// a device's account.
bool isSilentPort(const PortReading& reading);

// The normalised serials of the devices on silent connected ports: the devices whose own account
// is worth the extra query when their batteries are read.
std::set<std::string> silentDeviceSerials(const Snapshot& snapshot);

// Fills each silent port that holds exactly one device from that device's account in
// `snapshot.batteries`: the measured input when the device gives it, else the charger's offer;
// `source` says which. The record must be the device's by serial and USB session and fresh by the
// rules the charge monitor judges with. A port whose figures the computer gave is left alone.
void applyDeviceAccounts(Snapshot& snapshot, platform::Date now);

}  // namespace ampwell
