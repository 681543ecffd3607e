#include "platform/drawing/Color.hpp"

namespace ampwell::platform {
namespace {

constexpr RGBA byte(int red, int green, int blue, double alpha = 1) {
    return {red / 255.0, green / 255.0, blue / 255.0, alpha};
}

}  // namespace

Color Color::role(ColorRole role, double alpha) {
    Color color;
    color.isRole_ = true;
    color.role_ = role;
    color.alpha_ = alpha;
    return color;
}

Color Color::rgba(double red, double green, double blue, double alpha) {
    Color color;
    color.fixed_ = {red, green, blue, 1};
    color.alpha_ = alpha;
    return color;
}

Color Color::white(double level, double alpha) {
    return rgba(level, level, level, alpha);
}

Color Color::withAlpha(double alpha) const {
    Color color = *this;
    color.alpha_ *= alpha;
    return color;
}

RGBA Color::resolve(Appearance appearance) const {
    RGBA value = isRole_ ? resolveColorRole(role_, appearance) : fixed_;
    value.alpha *= alpha_;
    return value;
}

// Text colours are the ink colour at a partial alpha, so they read on any background of their
// appearance; the accents are the desktop's bright system hues, a touch lighter in the dark.
RGBA resolveColorRole(ColorRole role, Appearance appearance) {
    const bool dark = appearance == Appearance::dark;
    const double ink = dark ? 1.0 : 0.0;
    switch (role) {
    case ColorRole::label: return {ink, ink, ink, 0.85};
    case ColorRole::secondaryLabel: return {ink, ink, ink, dark ? 0.55 : 0.5};
    case ColorRole::tertiaryLabel: return {ink, ink, ink, dark ? 0.25 : 0.26};
    case ColorRole::separator: return {ink, ink, ink, 0.1};
    case ColorRole::windowBackground: return dark ? byte(50, 50, 50) : byte(236, 236, 236);
    case ColorRole::green: return dark ? byte(50, 215, 75) : byte(40, 205, 65);
    case ColorRole::yellow: return dark ? byte(255, 214, 10) : byte(255, 204, 0);
    case ColorRole::grey: return dark ? byte(152, 152, 157) : byte(142, 142, 147);
    case ColorRole::orange: return dark ? byte(255, 159, 10) : byte(255, 149, 0);
    }
    return {ink, ink, ink, 1};
}

std::string_view colorRoleName(ColorRole role) {
    switch (role) {
    case ColorRole::label: return "label";
    case ColorRole::secondaryLabel: return "secondaryLabel";
    case ColorRole::tertiaryLabel: return "tertiaryLabel";
    case ColorRole::separator: return "separator";
    case ColorRole::windowBackground: return "windowBackground";
    case ColorRole::green: return "green";
    case ColorRole::yellow: return "yellow";
    case ColorRole::grey: return "grey";
    case ColorRole::orange: return "orange";
    }
    return "";
}

std::string_view appearanceName(Appearance appearance) {
    return appearance == Appearance::dark ? "dark" : "light";
}

}  // namespace ampwell::platform
