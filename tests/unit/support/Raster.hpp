#pragma once

#include "platform/drawing/Bitmap.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace ampwell::test {

// A picture as straight-alpha pixels, read from a PNG file or copied from a bitmap canvas.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<platform::Pixel> pixels;

    platform::Pixel at(int x, int y) const { return pixels[static_cast<std::size_t>(y) * width + x]; }
};

std::optional<Raster> loadPng(const std::string& path);
Raster copyPixels(platform::BitmapCanvas& bitmap);

inline constexpr platform::RGBA kClear{0, 0, 0, 0};

// `top` painted over `bottom` (source-over), both with straight alpha.
platform::RGBA over(const platform::RGBA& bottom, const platform::RGBA& top);

// Whether `pixel` is `expected` within `tolerance` levels (of 255) in every premultiplied channel
// and in alpha. Prints both on failure.
::testing::AssertionResult pixelNear(const platform::Pixel& pixel, const platform::RGBA& expected, int tolerance = 2);

}  // namespace ampwell::test
