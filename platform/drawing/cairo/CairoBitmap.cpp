#include "platform/drawing/cairo/CairoBitmap.hpp"

#include "platform/drawing/cairo/PngEncoder.hpp"

#include <cmath>
#include <cstring>

namespace ampwell::platform::cairo {
namespace {

// Beyond this cairo refuses the surface anyway; checking first keeps the failure a plain nullptr.
constexpr double kMaxPixels = 32767;

std::uint8_t unpremultiply(std::uint32_t channel, std::uint32_t alpha) {
    return static_cast<std::uint8_t>((channel * 255 + alpha / 2) / alpha);
}

}  // namespace

CairoBitmap::CairoBitmap(cairo_surface_t* surface, double scale, platform::Appearance appearance)
    : surface_(surface), context_(cairo_create(surface)) {
    cairo_scale(context_, scale, scale);
    canvas_ = std::make_unique<CairoCanvas>(context_, appearance);
}

CairoBitmap::~CairoBitmap() {
    canvas_.reset();
    cairo_destroy(context_);
    cairo_surface_destroy(surface_);
}

int CairoBitmap::pixelWidth() const {
    return cairo_image_surface_get_width(surface_);
}

int CairoBitmap::pixelHeight() const {
    return cairo_image_surface_get_height(surface_);
}

std::optional<std::vector<std::uint8_t>> CairoBitmap::encodePng() {
    return cairo::encodePng(surface_);
}

platform::Pixel CairoBitmap::pixel(int x, int y) {
    if (x < 0 || y < 0 || x >= pixelWidth() || y >= pixelHeight()) return {};
    cairo_surface_flush(surface_);
    const unsigned char* row = cairo_image_surface_get_data(surface_) + y * cairo_image_surface_get_stride(surface_);
    std::uint32_t argb;
    std::memcpy(&argb, row + 4 * x, sizeof argb);
    const std::uint32_t alpha = argb >> 24;
    if (alpha == 0) return {};
    return {unpremultiply((argb >> 16) & 0xff, alpha), unpremultiply((argb >> 8) & 0xff, alpha),
            unpremultiply(argb & 0xff, alpha), static_cast<std::uint8_t>(alpha)};
}

}  // namespace ampwell::platform::cairo

namespace ampwell::platform {

std::unique_ptr<BitmapCanvas> makeBitmapCanvas(Size points, double scale, Appearance appearance) {
    const double width = std::round(points.width * scale);
    const double height = std::round(points.height * scale);
    if (!std::isfinite(width) || !std::isfinite(height) || !(scale > 0)) return nullptr;
    if (width < 1 || height < 1 || width > cairo::kMaxPixels || height > cairo::kMaxPixels) return nullptr;
    cairo_surface_t* surface =
        cairo_image_surface_create(CAIRO_FORMAT_ARGB32, static_cast<int>(width), static_cast<int>(height));
    if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(surface);
        return nullptr;
    }
    return std::make_unique<cairo::CairoBitmap>(surface, scale, appearance);
}

}  // namespace ampwell::platform
