#include "tests/unit/support/GoldenImage.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <sstream>

namespace ampwell::test {
namespace {

struct PixelBox {
    int left, top, right, bottom;  // right and bottom exclusive
};

PixelBox widened(const platform::Rect& rect, double margin, int width, int height) {
    return {std::clamp(static_cast<int>(std::floor(rect.x - margin)), 0, width),
            std::clamp(static_cast<int>(std::floor(rect.y - margin)), 0, height),
            std::clamp(static_cast<int>(std::ceil(rect.maxX() + margin)), 0, width),
            std::clamp(static_cast<int>(std::ceil(rect.maxY() + margin)), 0, height)};
}

// The largest difference of one premultiplied channel, in levels of 255.
int difference(const platform::Pixel& a, const platform::Pixel& b) {
    auto pre = [](int channel, int alpha) { return channel * alpha / 255; };
    return std::max({std::abs(pre(a.red, a.alpha) - pre(b.red, b.alpha)),
                     std::abs(pre(a.green, a.alpha) - pre(b.green, b.alpha)),
                     std::abs(pre(a.blue, a.alpha) - pre(b.blue, b.alpha)), std::abs(a.alpha - b.alpha)});
}

std::uint32_t key(const platform::Pixel& p) {
    return (std::uint32_t{p.red} << 24) | (std::uint32_t{p.green} << 16) | (std::uint32_t{p.blue} << 8) | p.alpha;
}

// How much the box differs from its own most common pixel (its background): the text's ink.
double ink(const Raster& raster, const PixelBox& box) {
    std::map<std::uint32_t, std::pair<int, platform::Pixel>> counts;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) {
            auto& entry = counts[key(raster.at(x, y))];
            ++entry.first;
            entry.second = raster.at(x, y);
        }
    if (counts.empty()) return 0;
    const auto background =
        std::max_element(counts.begin(), counts.end(),
                         [](const auto& a, const auto& b) { return a.second.first < b.second.first; })
            ->second.second;
    double total = 0;
    for (int y = box.top; y < box.bottom; ++y)
        for (int x = box.left; x < box.right; ++x) total += difference(raster.at(x, y), background);
    return total;
}

}  // namespace

std::vector<std::string> compareWithGolden(const Raster& current, const Raster& golden,
                                           const std::vector<platform::Rect>& textRects,
                                           const GoldenTolerance& limits) {
    std::vector<std::string> problems;
    if (current.width != golden.width || current.height != golden.height) {
        problems.push_back("size " + std::to_string(current.width) + "x" + std::to_string(current.height) +
                           " differs from the golden " + std::to_string(golden.width) + "x" +
                           std::to_string(golden.height));
        return problems;
    }
    std::vector<bool> isText(static_cast<std::size_t>(current.width) * current.height, false);
    std::vector<PixelBox> boxes;
    for (const auto& rect : textRects) {
        boxes.push_back(widened(rect, limits.textMargin, current.width, current.height));
        const PixelBox& box = boxes.back();
        for (int y = box.top; y < box.bottom; ++y)
            for (int x = box.left; x < box.right; ++x) isText[static_cast<std::size_t>(y) * current.width + x] = true;
    }

    int stray = 0;
    std::ostringstream first;
    for (int y = 0; y < current.height; ++y)
        for (int x = 0; x < current.width; ++x) {
            if (isText[static_cast<std::size_t>(y) * current.width + x]) continue;
            const int diff = difference(current.at(x, y), golden.at(x, y));
            if (diff <= limits.tolerance) continue;
            if (stray++ == 0) first << " (first at pixel " << x << "," << y << ", " << diff << " levels)";
        }
    if (stray > limits.allowedStrayPixels)
        problems.push_back(std::to_string(stray) + " pixels outside the texts differ" + first.str());

    for (const auto& box : boxes) {
        const double now = ink(current, box);
        const double then = ink(golden, box);
        const bool agree = (now == 0 && then == 0) ||
                           (now > 0 && then > 0 && now / then <= limits.inkRatio && then / now <= limits.inkRatio);
        if (agree) continue;
        std::ostringstream text;
        text << "text at pixels " << box.left << "," << box.top << " has ink " << now << ", the golden " << then;
        problems.push_back(text.str());
        if (problems.size() >= 5) break;
    }
    return problems;
}

}  // namespace ampwell::test
