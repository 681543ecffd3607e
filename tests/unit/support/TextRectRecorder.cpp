#include "tests/unit/support/TextRectRecorder.hpp"

#include <algorithm>
#include <cmath>

namespace ampwell::test {

void TextRectRecorder::save() {
    saved_.push_back(transform_);
    target_.save();
}

void TextRectRecorder::restore() {
    if (saved_.empty()) return;
    transform_ = saved_.back();
    saved_.pop_back();
    target_.restore();
}

void TextRectRecorder::translate(double dx, double dy) {
    transform_.tx += transform_.sx * dx;
    transform_.ty += transform_.sy * dy;
    target_.translate(dx, dy);
}

void TextRectRecorder::scale(double sx, double sy) {
    transform_.sx *= sx;
    transform_.sy *= sy;
    target_.scale(sx, sy);
}

void TextRectRecorder::flipVertically(double height) {
    transform_.ty += transform_.sy * height;
    transform_.sy = -transform_.sy;
    target_.flipVertically(height);
}

void TextRectRecorder::drawText(std::string_view text, const platform::Rect& rect, const platform::TextStyle& style) {
    const double x1 = (transform_.sx * rect.x + transform_.tx) * scale_;
    const double x2 = (transform_.sx * rect.maxX() + transform_.tx) * scale_;
    const double y1 = (transform_.sy * rect.y + transform_.ty) * scale_;
    const double y2 = (transform_.sy * rect.maxY() + transform_.ty) * scale_;
    textRects_.push_back({std::min(x1, x2), std::min(y1, y2), std::abs(x2 - x1), std::abs(y2 - y1)});
    platform::TextStyle drawn = style;
    drawn.font.size *= textSizeFactor;
    target_.drawText(text, {rect.x + textNudge.x, rect.y + textNudge.y, rect.width, rect.height}, drawn);
}

}  // namespace ampwell::test
