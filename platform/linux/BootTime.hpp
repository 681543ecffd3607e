#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ampwell::platform::linux_ {

inline constexpr const char* kDefaultProcRoot = "/proc";

// When the machine booted, in whole seconds since 1970.
class BootTime {
public:
    // The "btime" line of <procRoot>/stat; without it, the real-time clock minus the time since
    // boot (CLOCK_BOOTTIME, which counts suspended time too), rounded to whole seconds.
    static std::optional<std::int64_t> read(const std::string& procRoot = kDefaultProcRoot);
    // The value of the "btime" line of a /proc/stat text.
    static std::optional<std::int64_t> fromProcStat(std::string_view text);
    static std::optional<std::int64_t> fromClocks();
};

}  // namespace ampwell::platform::linux_
