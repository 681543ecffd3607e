#include "platform/drawing/Canvas.hpp"

#include "platform/drawing/Image.hpp"

namespace ampwell::platform {

void Canvas::fillRect(const Rect& rect, const Color& color) {
    fill(Path::rect(rect), color);
}

void Canvas::fillRoundedRect(const Rect& rect, double rx, double ry, const Color& color) {
    fill(Path::roundedRect(rect, rx, ry), color);
}

void Canvas::strokeRoundedRect(const Rect& rect, double rx, double ry, double lineWidth, const Color& color) {
    stroke(Path::roundedRect(rect, rx, ry), color, LineStyle{lineWidth});
}

void Canvas::fillOval(const Rect& rect, const Color& color) {
    fill(Path::oval(rect), color);
}

void Canvas::fillPolygon(const std::vector<Point>& points, const Color& color) {
    fill(Path::polygon(points), color);
}

bool Canvas::drawImage(const Image& image, const Rect& rect) {
    if (rect.width <= 0 || rect.height <= 0 || image.width() <= 0 || image.height() <= 0) return false;
    save();
    // Map the image's box onto the rectangle; an image draws with its origin at the bottom left.
    translate(rect.x, rect.y);
    if (isFlipped()) flipVertically(rect.height);
    scale(rect.width / image.width(), rect.height / image.height());
    const bool drawn = image.draw(*this);
    restore();
    return drawn;
}

}  // namespace ampwell::platform
