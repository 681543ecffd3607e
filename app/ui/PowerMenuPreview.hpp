#pragma once

#include "platform/drawing/Canvas.hpp"
#include "platform/drawing/Geometry.hpp"

#include <string>

namespace ampwell {

// The preview's canvas in points; it is rendered at twice that in pixels.
inline constexpr platform::Size kPowerMenuPreviewSize{776, 595};
inline constexpr double kPowerMenuPreviewScale = 2;

// Draws the preview's two panels with their sample contents onto `canvas` (flipped, in points,
// kPowerMenuPreviewSize large), whatever the canvas's own appearance.
void drawPowerMenuPreview(platform::Canvas& canvas);

// Draws a still picture of the whole menu, light on the left and dark on the right, and writes
// it as a 1552 x 1190 pixel PNG to `path`. Throws platform::FileWriteError when the file cannot be
// written; when the bitmap or the PNG cannot be made, writes nothing and returns quietly.
void renderPowerMenuPreview(const std::string& path);

}  // namespace ampwell
