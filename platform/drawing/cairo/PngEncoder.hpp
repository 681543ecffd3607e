#pragma once

#include <cairo.h>

#include <cstdint>
#include <optional>
#include <vector>

namespace ampwell::platform::cairo {

// Encodes an ARGB32 image surface as an 8-bit RGBA PNG (straight alpha). Compression favours
// speed: the pictures are large flat areas that the fastest level without row filters packs
// nearly as well as the default, at a third of the time (the default costs more than drawing).
// Returns nullopt when the surface is not ARGB32 or libpng fails.
std::optional<std::vector<std::uint8_t>> encodePng(cairo_surface_t* surface);

}  // namespace ampwell::platform::cairo
