#include "platform/linux/desktop/IconRaster.hpp"

#include <cairo.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace ampwell::platform::linux_ {

namespace {

using Surface = std::unique_ptr<cairo_surface_t, decltype(&cairo_surface_destroy)>;

Surface render(int pixels, double width, double height, const IconDrawing& draw, bool& ok) {
    Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixels, pixels), cairo_surface_destroy);
    ok = false;
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS || !(width > 0) || !(height > 0)) return surface;
    cairo_t* cr = cairo_create(surface.get());
    const double scale = std::min(pixels / width, pixels / height);
    cairo_translate(cr, (pixels - width * scale) / 2.0, (pixels - height * scale) / 2.0);
    cairo_scale(cr, scale, scale);
    ok = draw(cr) && cairo_status(cr) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_flush(surface.get());
    return surface;
}

// Cairo keeps native-endian premultiplied words; the tray wants straight alpha, bytes A R G B.
IconPixmap toPixmap(cairo_surface_t* surface) {
    IconPixmap pixmap;
    pixmap.width = cairo_image_surface_get_width(surface);
    pixmap.height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    pixmap.argb.reserve(static_cast<std::size_t>(pixmap.width) * pixmap.height * 4);
    for (int y = 0; y < pixmap.height; ++y) {
        for (int x = 0; x < pixmap.width; ++x) {
            std::uint32_t word = 0;
            std::memcpy(&word, data + y * stride + x * 4, 4);
            const std::uint32_t a = word >> 24;
            auto straight = [a](std::uint32_t c) {
                return static_cast<std::uint8_t>(a == 0 ? 0 : std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
            };
            pixmap.argb.push_back(static_cast<std::uint8_t>(a));
            pixmap.argb.push_back(straight((word >> 16) & 0xFF));
            pixmap.argb.push_back(straight((word >> 8) & 0xFF));
            pixmap.argb.push_back(straight(word & 0xFF));
        }
    }
    return pixmap;
}

}  // namespace

std::vector<IconPixmap> rasterizeIcon(double width, double height, const IconDrawing& draw,
                                      const std::vector<int>& sizes) {
    std::vector<IconPixmap> pixmaps;
    for (int size : sizes) {
        bool ok = false;
        auto surface = render(size, width, height, draw, ok);
        if (!ok) return {};
        pixmaps.push_back(toPixmap(surface.get()));
    }
    return pixmaps;
}

bool writeIconPng(const std::string& path, int pixels, double width, double height, const IconDrawing& draw) {
    bool ok = false;
    auto surface = render(pixels, width, height, draw, ok);
    return ok && cairo_surface_write_to_png(surface.get(), path.c_str()) == CAIRO_STATUS_SUCCESS;
}

std::vector<std::uint8_t> iconPngBytes(int pixels, double width, double height, const IconDrawing& draw) {
    bool ok = false;
    auto surface = render(pixels, width, height, draw, ok);
    std::vector<std::uint8_t> bytes;
    if (!ok) return bytes;
    auto append = [](void* closure, const unsigned char* data, unsigned int length) {
        auto* out = static_cast<std::vector<std::uint8_t>*>(closure);
        out->insert(out->end(), data, data + length);
        return CAIRO_STATUS_SUCCESS;
    };
    if (cairo_surface_write_to_png_stream(surface.get(), append, &bytes) != CAIRO_STATUS_SUCCESS) bytes.clear();
    return bytes;
}

}  // namespace ampwell::platform::linux_
