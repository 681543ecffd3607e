#pragma once

#include "platform/sim/SimRegistry.hpp"

#include <fuzzer/FuzzedDataProvider.h>

namespace ampwell::fuzzing {

// Fills a simulated registry with entries whose classes, plane links and property trees come from
// the fuzzer's bytes: the keys are the ones the readers look at, the values of every kind
// (booleans where numbers are read, negative, fractional and huge numbers, strings, data, lists
// of non-dictionaries, nested dictionaries), and the IOPort chains long, short or broken.
void fillRandomRegistry(FuzzedDataProvider& input, platform::sim::SimRegistry& registry);

}  // namespace ampwell::fuzzing
