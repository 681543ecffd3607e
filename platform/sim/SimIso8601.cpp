#include "platform/sim/SimIso8601.hpp"

#include <chrono>
#include <cstddef>

namespace ampwell::platform::sim {
namespace {

// Reads `count` decimal digits at `position`, moving past them.
std::optional<int> digits(const std::string& text, std::size_t& position, std::size_t count) {
    if (position + count > text.size()) return std::nullopt;
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const char c = text[position + i];
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    position += count;
    return value;
}

bool expect(const std::string& text, std::size_t& position, char c) {
    if (position >= text.size() || text[position] != c) return false;
    ++position;
    return true;
}

}  // namespace

std::optional<double> parseIso8601(const std::string& text) {
    std::size_t at = 0;
    const auto year = digits(text, at, 4);
    if (!year || !expect(text, at, '-')) return std::nullopt;
    const auto month = digits(text, at, 2);
    if (!month || !expect(text, at, '-')) return std::nullopt;
    const auto day = digits(text, at, 2);
    if (!day || !expect(text, at, 'T')) return std::nullopt;
    const auto hour = digits(text, at, 2);
    if (!hour || !expect(text, at, ':')) return std::nullopt;
    const auto minute = digits(text, at, 2);
    if (!minute || !expect(text, at, ':')) return std::nullopt;
    const auto second = digits(text, at, 2);
    if (!second || *hour > 23 || *minute > 59 || *second > 59) return std::nullopt;

    double fraction = 0;
    if (at < text.size() && text[at] == '.') {
        ++at;
        double scale = 0.1;
        const std::size_t first = at;
        while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
            fraction += (text[at] - '0') * scale;
            scale /= 10;
            ++at;
        }
        if (at == first) return std::nullopt;
    }

    int offsetSeconds = 0;
    if (expect(text, at, 'Z')) {
    } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        const int sign = text[at] == '-' ? -1 : 1;
        ++at;
        const auto offsetHours = digits(text, at, 2);
        if (!offsetHours || !expect(text, at, ':')) return std::nullopt;
        const auto offsetMinutes = digits(text, at, 2);
        if (!offsetMinutes || *offsetHours > 23 || *offsetMinutes > 59) return std::nullopt;
        offsetSeconds = sign * (*offsetHours * 3600 + *offsetMinutes * 60);
    } else {
        return std::nullopt;
    }
    if (at != text.size()) return std::nullopt;

    const std::chrono::year_month_day date{std::chrono::year{*year}, std::chrono::month{static_cast<unsigned>(*month)},
                                           std::chrono::day{static_cast<unsigned>(*day)}};
    if (!date.ok()) return std::nullopt;
    const auto days = std::chrono::sys_days(date).time_since_epoch().count();
    return static_cast<double>(days) * 86400.0 + *hour * 3600 + *minute * 60 + *second - offsetSeconds + fraction;
}

}  // namespace ampwell::platform::sim
