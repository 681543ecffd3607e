#include "tests/unit/support/Raster.hpp"

#include <cairo.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace ampwell::test {

std::optional<Raster> loadPng(const std::string& path) {
    cairo_surface_t* png = cairo_image_surface_create_from_png(path.c_str());
    if (cairo_surface_status(png) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(png);
        return std::nullopt;
    }
    // Whatever the file's own format (RGB or RGBA), read it back as ARGB32.
    const int width = cairo_image_surface_get_width(png);
    const int height = cairo_image_surface_get_height(png);
    cairo_surface_t* argb = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
    cairo_t* context = cairo_create(argb);
    cairo_set_source_surface(context, png, 0, 0);
    cairo_paint(context);
    cairo_destroy(context);
    cairo_surface_flush(argb);
    Raster raster{width, height, {}};
    raster.pixels.reserve(static_cast<std::size_t>(width) * height);
    const unsigned char* data = cairo_image_surface_get_data(argb);
    const int stride = cairo_image_surface_get_stride(argb);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint32_t value;
            std::memcpy(&value, data + y * stride + 4 * x, sizeof value);
            const std::uint32_t alpha = value >> 24;
            auto channel = [&](int shift) {
                return alpha == 0 ? std::uint8_t{0}
                                  : static_cast<std::uint8_t>((((value >> shift) & 0xff) * 255 + alpha / 2) / alpha);
            };
            raster.pixels.push_back({channel(16), channel(8), channel(0), static_cast<std::uint8_t>(alpha)});
        }
    }
    cairo_surface_destroy(argb);
    cairo_surface_destroy(png);
    return raster;
}

Raster copyPixels(platform::BitmapCanvas& bitmap) {
    Raster raster{bitmap.pixelWidth(), bitmap.pixelHeight(), {}};
    raster.pixels.reserve(static_cast<std::size_t>(raster.width) * raster.height);
    for (int y = 0; y < raster.height; ++y)
        for (int x = 0; x < raster.width; ++x) raster.pixels.push_back(bitmap.pixel(x, y));
    return raster;
}

platform::RGBA over(const platform::RGBA& bottom, const platform::RGBA& top) {
    const double alpha = top.alpha + bottom.alpha * (1 - top.alpha);
    if (alpha == 0) return {};
    auto mix = [&](double b, double t) { return (t * top.alpha + b * bottom.alpha * (1 - top.alpha)) / alpha; };
    return {mix(bottom.red, top.red), mix(bottom.green, top.green), mix(bottom.blue, top.blue), alpha};
}

::testing::AssertionResult pixelNear(const platform::Pixel& pixel, const platform::RGBA& expected, int tolerance) {
    const int want[4] = {static_cast<int>(std::lround(expected.red * 255)),
                         static_cast<int>(std::lround(expected.green * 255)),
                         static_cast<int>(std::lround(expected.blue * 255)),
                         static_cast<int>(std::lround(expected.alpha * 255))};
    const int got[4] = {pixel.red, pixel.green, pixel.blue, pixel.alpha};
    // Colours are compared premultiplied: the colour of a faint pixel is stored coarsely, and
    // that of a transparent one not at all.
    bool near = std::abs(got[3] - want[3]) <= tolerance;
    for (int i = 0; i < 3; ++i) near = near && std::abs(got[i] * got[3] - want[i] * want[3]) <= tolerance * 255;
    if (near) return ::testing::AssertionSuccess();
    std::ostringstream text;
    text << "pixel rgba(" << got[0] << "," << got[1] << "," << got[2] << "," << got[3] << ") is not within "
         << tolerance << " of rgba(" << want[0] << "," << want[1] << "," << want[2] << "," << want[3] << ")";
    return ::testing::AssertionFailure() << text.str();
}

}  // namespace ampwell::test
