#pragma once

#include "platform/drawing/Canvas.hpp"
#include "platform/drawing/Geometry.hpp"

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace ampwell::platform {

// One chart ready to draw: its size in points and how to draw it (origin top-left, y down) on a
// canvas in the appearance the window shows.
struct HistoryPicture {
    Size size;
    std::function<void(Canvas& canvas)> draw;
};

// What the application offers to show of its history: the title of the entry that opens it (and
// of its window), the spans the user picks from, and the chart of one span at a given width.
struct HistoryOffer {
    std::string title;
    std::vector<std::string> spans;
    std::function<HistoryPicture(std::size_t span, double width)> chart;
};

}  // namespace ampwell::platform
