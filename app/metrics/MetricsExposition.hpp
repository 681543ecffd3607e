#pragma once

#include "app/metrics/FleetState.hpp"

#include <string>
#include <string_view>

namespace ampwell {

// The two formats a scraper may ask for: Prometheus' text format, and OpenMetrics, which a
// scraper that names it in its Accept header prefers.
enum class ExpositionFormat { prometheusText, openMetrics };

// The Content-Type that goes with each format.
const char* expositionContentType(ExpositionFormat format);
// OpenMetrics when `accept` (an HTTP Accept header, possibly empty) names it, else the text format.
ExpositionFormat negotiateExposition(std::string_view accept);

// Writes `state` into `out` (cleared first; its capacity is kept, so a buffer reused from scrape
// to scrape stops allocating once it has grown to the size of one scrape). A figure nobody
// reported gets no series at all: an absent series is how Prometheus says "not known", where a 0
// would be a false reading. `version` is the program's, for the build info series.
void writeExposition(const FleetState& state, ExpositionFormat format, std::string_view version, std::string& out);

}  // namespace ampwell
