#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

namespace ampwell {

// The boot identity: the whole seconds of the machine's boot time in decimal, or "unknown-boot"
// when it cannot be read. Connection identifiers start with it, so they differ across restarts.
std::string bootIdentityText(std::optional<std::int64_t> bootTimeSeconds);

// Computes the boot identity once, on first use, in a thread-safe way; the same text for the
// whole run. The program makes one per process; tests make their own.
class BootIdentity {
public:
    explicit BootIdentity(std::function<std::optional<std::int64_t>()> readBootTime);
    const std::string& text() const;

private:
    std::function<std::optional<std::int64_t>()> readBootTime_;
    mutable std::once_flag once_;
    mutable std::string text_;
};

}  // namespace ampwell
