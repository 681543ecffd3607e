#pragma once

#include "platform/drawing/Canvas.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace ampwell::platform {

// One pixel as stored in a PNG: 8-bit straight (not premultiplied) red, green, blue, alpha.
struct Pixel {
    std::uint8_t red = 0;
    std::uint8_t green = 0;
    std::uint8_t blue = 0;
    std::uint8_t alpha = 0;
    friend bool operator==(const Pixel&, const Pixel&) = default;
};

// A canvas that draws into memory: RGB with alpha, 8 bits per sample, starting fully transparent,
// with the scale factor already applied so that drawing is in points.
class BitmapCanvas : public Canvas {
public:
    virtual int pixelWidth() const = 0;
    virtual int pixelHeight() const = 0;

    // The picture as PNG bytes; nullopt when the encoder fails.
    virtual std::optional<std::vector<std::uint8_t>> encodePng() = 0;

    // One pixel by device position (0,0 is the top-left pixel); a transparent pixel outside.
    virtual Pixel pixel(int x, int y) = 0;
};

// Writing a file failed; the message is one line naming the path and the reason.
class FileWriteError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Writes `bytes` to the file at `path`, replacing any file there. Throws FileWriteError.
void writeFileReplacing(const std::string& path, const std::vector<std::uint8_t>& bytes);

}  // namespace ampwell::platform
