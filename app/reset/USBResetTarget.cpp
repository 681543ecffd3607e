#include "app/reset/USBResetTarget.hpp"

#include "app/text/UnicodeText.hpp"

#include <limits>

namespace ampwell {
namespace {

bool canonicallyEqual(const std::string& left, const std::string& right) {
    return left == right || canonicallyNormalized(left) == canonicallyNormalized(right);
}

// Combines values into one hash in the order they are fed, so that swapping two fields changes it.
class Hasher {
public:
    template <typename T>
    void feed(const T& value) {
        const std::size_t h = std::hash<T>{}(value);
        state_ ^= h + 0x9e3779b97f4a7c15ULL + (state_ << 6) + (state_ >> 2);
    }
    template <typename T>
    void feed(const std::optional<T>& value) {
        feed(static_cast<std::uint8_t>(value ? 1 : 0));
        if (value) feed(*value);
    }
    std::size_t result() const { return state_; }

private:
    std::size_t state_ = 0;
};

// An absent port counts as larger than every known one.
std::pair<bool, std::int64_t> portKey(const std::optional<std::int64_t>& port) {
    return {!port.has_value(), port.value_or(std::numeric_limits<std::int64_t>::max())};
}

}  // namespace

bool operator==(const USBResetTarget& left, const USBResetTarget& right) {
    return left.registryID == right.registryID && canonicallyEqual(left.productName, right.productName) &&
           canonicallyEqual(left.serial, right.serial) && canonicallyEqual(left.sessionID, right.sessionID) &&
           left.vendorID == right.vendorID && left.isHub == right.isHub && left.port == right.port;
}

std::size_t hashValue(const USBResetTarget& target) {
    Hasher hasher;
    hasher.feed(target.registryID);
    hasher.feed(canonicallyNormalized(target.productName));
    hasher.feed(canonicallyNormalized(target.serial));
    hasher.feed(canonicallyNormalized(target.sessionID));
    hasher.feed(target.vendorID);
    hasher.feed(static_cast<std::uint8_t>(target.isHub ? 1 : 0));
    hasher.feed(target.port);
    return hasher.result();
}

bool comesBefore(const USBResetTarget& left, const USBResetTarget& right) {
    // The presence flag ranks an absent port after a known port of the largest value too, which
    // keeps the order strict and weak (a bare "absent = largest value" would tie them).
    if (left.port != right.port) return portKey(left.port) < portKey(right.port);
    if (!canonicallyEqual(left.productName, right.productName))
        return compareCodePoints(canonicallyNormalized(left.productName),
                                 canonicallyNormalized(right.productName)) < 0;
    return left.registryID < right.registryID;
}

}  // namespace ampwell
