#pragma once

#include "platform/drawing/Bitmap.hpp"
#include "platform/drawing/cairo/CairoCanvas.hpp"

#include <cairo.h>

#include <memory>

namespace ampwell::platform::cairo {

// A bitmap canvas over a cairo image surface (ARGB32). Made by platform::makeBitmapCanvas.
class CairoBitmap : public platform::BitmapCanvas {
public:
    // Takes ownership of `surface`, which must be a valid image surface.
    CairoBitmap(cairo_surface_t* surface, double scale, platform::Appearance appearance);
    ~CairoBitmap() override;

    int pixelWidth() const override;
    int pixelHeight() const override;
    std::optional<std::vector<std::uint8_t>> encodePng() override;
    platform::Pixel pixel(int x, int y) override;

    platform::Appearance appearance() const override { return canvas_->appearance(); }
    void setAppearance(platform::Appearance appearance) override { canvas_->setAppearance(appearance); }
    void save() override { canvas_->save(); }
    void restore() override { canvas_->restore(); }
    void translate(double dx, double dy) override { canvas_->translate(dx, dy); }
    void scale(double sx, double sy) override { canvas_->scale(sx, sy); }
    void flipVertically(double height) override { canvas_->flipVertically(height); }
    bool isFlipped() const override { return canvas_->isFlipped(); }
    void clip(const platform::Path& path) override { canvas_->clip(path); }
    void fill(const platform::Path& path, const platform::Color& color) override { canvas_->fill(path, color); }
    void stroke(const platform::Path& path, const platform::Color& color,
                const platform::LineStyle& line) override {
        canvas_->stroke(path, color, line);
    }
    void drawText(std::string_view text, const platform::Rect& rect,
                  const platform::TextStyle& style) override {
        canvas_->drawText(text, rect, style);
    }
    platform::Size measureText(std::string_view text, const platform::Font& font) override {
        return canvas_->measureText(text, font);
    }

    cairo_surface_t* surface() const { return surface_; }

private:
    cairo_surface_t* surface_;
    cairo_t* context_;
    std::unique_ptr<CairoCanvas> canvas_;
};

}  // namespace ampwell::platform::cairo

namespace ampwell::platform {

// A bitmap of round(size × scale) pixels each way, drawn in points at `scale` pixels per point,
// flipped (top-left origin), in `appearance`. Returns nullptr when it cannot be made (a size that
// is not positive and finite, or too large to allocate).
std::unique_ptr<BitmapCanvas> makeBitmapCanvas(Size points, double scale, Appearance appearance);

}  // namespace ampwell::platform
