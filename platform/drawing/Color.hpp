#pragma once

#include <cstdint>
#include <string_view>

namespace ampwell::platform {

// The two looks a drawing can be resolved for.
enum class Appearance : unsigned char { light, dark };

// Semantic colours whose values depend on the appearance, close to the desktop's own system
// colours: the text colours and the separator are black or white at a partial alpha, the window
// background is opaque, the accent colours are the system's bright hues.
enum class ColorRole : unsigned char {
    label,
    secondaryLabel,
    tertiaryLabel,
    separator,
    windowBackground,
    green,
    yellow,
    grey,
    orange,
};

// A colour with straight (not premultiplied) alpha, each component in 0...1.
struct RGBA {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;
    friend bool operator==(const RGBA&, const RGBA&) = default;
};

// A colour as the drawing code names it: either a role, resolved only when drawn (so one view
// draws correctly in both appearances), or a fixed RGBA value. Either may carry an extra alpha
// that multiplies the resolved alpha ("the label colour at alpha 0.045").
class Color {
public:
    static Color role(ColorRole role, double alpha = 1);
    static Color rgba(double red, double green, double blue, double alpha = 1);
    // A grey of the given white level (0 black, 1 white).
    static Color white(double level, double alpha = 1);

    // The same colour with its alpha multiplied by `alpha`.
    Color withAlpha(double alpha) const;

    RGBA resolve(Appearance appearance) const;

    bool isRole() const { return isRole_; }
    // Meaningful only when isRole().
    ColorRole roleValue() const { return role_; }

    friend bool operator==(const Color&, const Color&) = default;

private:
    Color() = default;
    bool isRole_ = false;
    ColorRole role_ = ColorRole::label;
    RGBA fixed_;
    double alpha_ = 1;
};

// The value of a role in an appearance.
RGBA resolveColorRole(ColorRole role, Appearance appearance);

// "label", "secondaryLabel", ... and "light" / "dark": for descriptions and test messages.
std::string_view colorRoleName(ColorRole role);
std::string_view appearanceName(Appearance appearance);

}  // namespace ampwell::platform
