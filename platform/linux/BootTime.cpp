#include "platform/linux/BootTime.hpp"

#include "platform/linux/SysfsTree.hpp"

#include <time.h>

#include <charconv>
#include <cmath>

namespace ampwell::platform::linux_ {

std::optional<std::int64_t> BootTime::read(const std::string& procRoot) {
    // /proc files are read like sysfs attributes; only the root differs.
    const SysfsTree proc(procRoot);
    if (auto text = proc.attribute("stat"))
        if (auto seconds = fromProcStat(*text)) return seconds;
    return fromClocks();
}

std::optional<std::int64_t> BootTime::fromProcStat(std::string_view text) {
    constexpr std::string_view key = "btime ";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (line.substr(0, key.size()) == key) {
            line.remove_prefix(key.size());
            while (!line.empty() && line.front() == ' ') line.remove_prefix(1);
            while (!line.empty() && (line.back() == ' ' || line.back() == '\r')) line.remove_suffix(1);
            std::int64_t seconds = 0;
            auto [at, error] = std::from_chars(line.data(), line.data() + line.size(), seconds);
            if (line.empty() || error != std::errc() || at != line.data() + line.size() || seconds <= 0)
                return std::nullopt;
            return seconds;
        }
        start = end + 1;
    }
    return std::nullopt;
}

std::optional<std::int64_t> BootTime::fromClocks() {
    timespec real{}, sinceBoot{};
    if (::clock_gettime(CLOCK_REALTIME, &real) != 0 || ::clock_gettime(CLOCK_BOOTTIME, &sinceBoot) != 0)
        return std::nullopt;
    const double boot = (static_cast<double>(real.tv_sec) + real.tv_nsec / 1e9) -
                        (static_cast<double>(sinceBoot.tv_sec) + sinceBoot.tv_nsec / 1e9);
    if (!(boot > 0)) return std::nullopt;
    return static_cast<std::int64_t>(std::llround(boot));
}

}  // namespace ampwell::platform::linux_
