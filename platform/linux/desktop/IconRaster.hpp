#pragma once

#include "platform/linux/desktop/StatusNotifierItem.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

typedef struct _cairo cairo_t;

namespace ampwell::platform::linux_ {

// Draws an icon of width × height points into a square bitmap of `pixels` on each side, centred
// and scaled to fit. `draw` receives a context whose unit is one point; it returns whether the
// drawing succeeded.
using IconDrawing = std::function<bool(cairo_t*)>;

// The tray's icon sizes: every panel height from 16 to 64 pixels has a bitmap of its own size
// or the next larger one, so hosts scale down and never up.
inline const std::vector<int> kTrayIconSizes = {16, 22, 24, 32, 48, 64};

// One pixmap per size; empty when any drawing failed.
std::vector<IconPixmap> rasterizeIcon(double width, double height, const IconDrawing& draw,
                                      const std::vector<int>& sizes = kTrayIconSizes);

// Writes the icon as a PNG of `pixels` square. Returns false (and writes nothing usable) when the
// drawing failed or the file could not be written.
bool writeIconPng(const std::string& path, int pixels, double width, double height, const IconDrawing& draw);

// The icon as PNG file bytes of `pixels` square; empty when the drawing failed.
std::vector<std::uint8_t> iconPngBytes(int pixels, double width, double height, const IconDrawing& draw);

}  // namespace ampwell::platform::linux_
