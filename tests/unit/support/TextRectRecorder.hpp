#pragma once

#include "platform/drawing/Canvas.hpp"

#include <vector>

namespace ampwell::test {

// A canvas that draws through to another one and remembers, in the other's device pixels, the
// rectangle of every text drawn: where glyphs may differ between font versions.
class TextRectRecorder : public platform::Canvas {
public:
    TextRectRecorder(platform::Canvas& target, double pixelsPerPoint) : target_(target), scale_(pixelsPerPoint) {}

    // When set, every text is drawn this much off its rectangle and this much larger, as another
    // version of the font might draw it (the recorded rectangle stays the one asked for).
    platform::Point textNudge;
    double textSizeFactor = 1;

    // Each as (x, y, width, height) in pixels, top-left origin.
    const std::vector<platform::Rect>& textRects() const { return textRects_; }

    platform::Appearance appearance() const override { return target_.appearance(); }
    void setAppearance(platform::Appearance appearance) override { target_.setAppearance(appearance); }
    void save() override;
    void restore() override;
    void translate(double dx, double dy) override;
    void scale(double sx, double sy) override;
    void flipVertically(double height) override;
    bool isFlipped() const override { return target_.isFlipped(); }
    void clip(const platform::Path& path) override { target_.clip(path); }
    void fill(const platform::Path& path, const platform::Color& color) override { target_.fill(path, color); }
    void stroke(const platform::Path& path, const platform::Color& color, const platform::LineStyle& line) override {
        target_.stroke(path, color, line);
    }
    void drawText(std::string_view text, const platform::Rect& rect, const platform::TextStyle& style) override;
    platform::Size measureText(std::string_view text, const platform::Font& font) override {
        return target_.measureText(text, font);
    }

private:
    // x' = sx·x + tx, y' = sy·y + ty, in points of the target's starting system.
    struct Transform {
        double sx = 1, sy = 1, tx = 0, ty = 0;
    };

    platform::Canvas& target_;
    double scale_;
    Transform transform_;
    std::vector<Transform> saved_;
    std::vector<platform::Rect> textRects_;
};

}  // namespace ampwell::test
