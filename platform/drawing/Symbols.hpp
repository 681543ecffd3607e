#pragma once

#include "platform/drawing/Canvas.hpp"
#include "platform/drawing/Image.hpp"

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace ampwell::platform {

// Symbol images drawn by our own vector code, so that no icon lookup can come back empty:
// "bolt.fill", "arrow.clockwise", "slider.horizontal.3", "cable.connector", "info.circle",
// "power". Each is designed on a square em and stays recognisable at 14 points.

// True for the names above.
bool isKnownSymbol(std::string_view name);

// The symbol's natural size at `pointSize` (its glyph box, as a text symbol of that size would
// have); nullopt for an unknown name.
std::optional<Size> symbolSize(std::string_view name, double pointSize);

// Draws the symbol centred in `rect`, scaled to fit it with its proportions kept, in one colour.
// Works in either orientation of the canvas (the symbol stays upright). Returns false and draws
// nothing for an unknown name or an empty rectangle.
bool drawSymbol(Canvas& canvas, std::string_view name, const Rect& rect, const Color& color);

// The symbol as an Image of its natural size at `pointSize`, drawn in `color`; nullptr for an
// unknown name. name() is the symbol's name; it is not a template image.
std::shared_ptr<const Image> symbolImage(std::string_view name, double pointSize, const Color& color);

}  // namespace ampwell::platform
