#include "app/model/BootIdentity.hpp"

namespace ampwell {

std::string bootIdentityText(std::optional<std::int64_t> bootTimeSeconds) {
    return bootTimeSeconds ? std::to_string(*bootTimeSeconds) : std::string("unknown-boot");
}

BootIdentity::BootIdentity(std::function<std::optional<std::int64_t>()> readBootTime)
    : readBootTime_(std::move(readBootTime)) {}

const std::string& BootIdentity::text() const {
    std::call_once(once_, [this] { text_ = bootIdentityText(readBootTime_ ? readBootTime_() : std::nullopt); });
    return text_;
}

}  // namespace ampwell
