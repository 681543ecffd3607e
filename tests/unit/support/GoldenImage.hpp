#pragma once

#include "platform/drawing/Geometry.hpp"
#include "tests/unit/support/Raster.hpp"

#include <string>
#include <vector>

namespace ampwell::test {

// Compares a picture with its golden copy so that a new font version passes but moved or
// recoloured shapes do not. Outside the text rectangles (widened by `textMargin` pixels) every
// pixel must match within `tolerance` levels of premultiplied colour; inside each text
// rectangle only the amount of ink is compared (within `inkRatio` either way), because glyph
// outlines and widths change between font versions. Returns one line per difference found (at
// most a few), empty when the pictures agree.
struct GoldenTolerance {
    int tolerance = 8;
    int allowedStrayPixels = 16;
    double textMargin = 6;
    double inkRatio = 1.4;
};

std::vector<std::string> compareWithGolden(const Raster& current, const Raster& golden,
                                           const std::vector<platform::Rect>& textRects,
                                           const GoldenTolerance& limits = {});

}  // namespace ampwell::test
