#pragma once

#include "app/history/HistoryRows.hpp"
#include "platform/base/Clock.hpp"

#include <optional>
#include <ostream>
#include <string_view>

namespace ampwell {

enum class HistoryFormat : unsigned char { csv, json };

// "csv" or "json"; nullopt for anything else.
std::optional<HistoryFormat> historyFormatFromText(std::string_view text);

// A span such as "90s", "30m", "24h" or "7d": a positive whole number and one unit. nullopt for
// anything else, so that a typo is reported instead of read as something else.
std::optional<platform::Seconds> parseHistoryDuration(std::string_view text);

// "2026-12-06T22:30:16.250Z": UTC, to the millisecond the store keeps.
std::string historyTimeText(platform::Date date);

// The rows as one table in time order (ports before devices at the same moment): CSV with a
// header line, or a JSON object {"from", "to", "rows"} whose rows carry only the fields they have.
void writeHistory(std::ostream& out, const HistoryRows& rows, HistoryFormat format, platform::Date from,
                  platform::Date to);

}  // namespace ampwell
