#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
#include <string_view>

namespace ampwell {

// The program's three-valued verdict on how well the iPad is supplied. It colours the port views
// and the status icon, and its raw values are the texts written wherever a state is stored.
class IndicatorState {
public:
    enum class Case : unsigned char { normal, low, unavailable };
    using enum Case;

    // In declaration order, which is also the order the icons are listed and cached in.
    static const std::array<IndicatorState, 3> allCases;

    constexpr IndicatorState(Case value) : value_(value) {}

    // Absent for any text other than the exact raw values ("low", never "Low").
    static std::optional<IndicatorState> fromRawValue(std::string_view text);
    // The verdict on one power reading alone: unusable watts (absent, non-finite, negative) cannot
    // be judged; otherwise anything below the threshold is low and the threshold itself is enough.
    static IndicatorState power(std::optional<double> watts, double threshold);

    constexpr Case value() const { return value_; }
    std::string_view rawValue() const;

    friend constexpr bool operator==(IndicatorState, IndicatorState) = default;

private:
    Case value_;
};

std::ostream& operator<<(std::ostream& stream, IndicatorState state);

}  // namespace ampwell

template <>
struct std::hash<ampwell::IndicatorState> {
    std::size_t operator()(ampwell::IndicatorState state) const noexcept {
        return static_cast<std::size_t>(state.value());
    }
};
