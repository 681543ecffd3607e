#include "platform/drawing/cairo/PngEncoder.hpp"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace ampwell::platform::cairo {
namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* bytes = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    bytes->insert(bytes->end(), data, data + length);
}

void flushNothing(png_structp) {}

// One row of native-endian premultiplied ARGB words as straight RGBA bytes.
void unpremultiplyRow(const unsigned char* source, int width, std::uint8_t* target) {
    for (int x = 0; x < width; ++x) {
        std::uint32_t argb;
        std::memcpy(&argb, source + 4 * x, sizeof argb);
        const std::uint32_t alpha = argb >> 24;
        std::uint8_t* out = target + 4 * x;
        if (alpha == 0) {
            out[0] = out[1] = out[2] = out[3] = 0;
            continue;
        }
        out[0] = static_cast<std::uint8_t>((((argb >> 16) & 0xff) * 255 + alpha / 2) / alpha);
        out[1] = static_cast<std::uint8_t>((((argb >> 8) & 0xff) * 255 + alpha / 2) / alpha);
        out[2] = static_cast<std::uint8_t>(((argb & 0xff) * 255 + alpha / 2) / alpha);
        out[3] = static_cast<std::uint8_t>(alpha);
    }
}

// Everything libpng may jump out of lives here, with no C++ object created after setjmp.
bool writePng(png_structp png, png_infop info, cairo_surface_t* surface, std::vector<std::uint8_t>& bytes,
              std::vector<std::uint8_t>& row) {
    if (setjmp(png_jmpbuf(png))) return false;
    const int width = cairo_image_surface_get_width(surface);
    const int height = cairo_image_surface_get_height(surface);
    const int stride = cairo_image_surface_get_stride(surface);
    const unsigned char* data = cairo_image_surface_get_data(surface);
    png_set_write_fn(png, &bytes, &appendBytes, &flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(png, 1);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) {
        unpremultiplyRow(data + static_cast<std::ptrdiff_t>(y) * stride, width, row.data());
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

std::optional<std::vector<std::uint8_t>> encodePng(cairo_surface_t* surface) {
    if (cairo_surface_get_type(surface) != CAIRO_SURFACE_TYPE_IMAGE ||
        cairo_image_surface_get_format(surface) != CAIRO_FORMAT_ARGB32)
        return std::nullopt;
    cairo_surface_flush(surface);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return std::nullopt;
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes;
    std::vector<std::uint8_t> row(static_cast<std::size_t>(cairo_image_surface_get_width(surface)) * 4);
    const bool written = writePng(png, info, surface, bytes, row);
    png_destroy_write_struct(&png, &info);
    if (!written) return std::nullopt;
    return bytes;
}

}  // namespace ampwell::platform::cairo
