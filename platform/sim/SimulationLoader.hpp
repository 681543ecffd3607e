#pragma once

#include "platform/sim/SimulationModel.hpp"

#include <string>

namespace ampwell::platform::sim {

inline constexpr const char* kSimulationFormat = "ampwell-simulation/1";

// Reads and checks the simulation file at `path`. Throws PlatformError with one line:
// "<path>: $: cannot be read: <reason>" (missing, not a regular file, larger than 4 MB), or
// "<path>: <JSON path>: <what is wrong>" for every mistake in it (not JSON, nesting too deep, a
// number out of range, an unknown key, a value of the wrong type, a zero or repeated entry ID, a
// parent that does not exist, a cycle in a plane, an unknown format, a time beyond the dates,
// timeline times out of order or negative, an event naming an entry or device that is not present
// at its time).
SimulationModel loadSimulationFile(const std::string& path);

// The same for a text already read; `file` names it in the messages.
SimulationModel parseSimulation(const std::string& text, const std::string& file);

}  // namespace ampwell::platform::sim
