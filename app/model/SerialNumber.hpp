#pragma once

#include <string>

namespace ampwell {

// The one rule for comparing serial numbers: white space and line breaks trimmed at both ends,
// every "-" removed, lower-cased. Only for comparisons and map keys, never stored.
std::string normalizedSerial(const std::string& serial);

}  // namespace ampwell
