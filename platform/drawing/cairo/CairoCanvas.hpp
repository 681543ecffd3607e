#pragma once

#include "platform/drawing/Canvas.hpp"

#include <cairo.h>
#include <pango/pango.h>

#include <optional>
#include <vector>

namespace ampwell::platform::cairo {

// The canvas over a cairo context: a bitmap's (CairoBitmap) or a window's, as a GTK draw handler
// hands it over. Texts are laid out by pango in Noto Sans CJK SC, which covers both the Latin and
// the Chinese texts; the monospaced-digit role asks the same face for tabular figures.
//
// The context is borrowed, not owned, and must outlive the canvas. The canvas takes the
// context's current transform as its starting point: its origin, flipped (top-left), in points.
class CairoCanvas : public platform::Canvas {
public:
    CairoCanvas(cairo_t* context, platform::Appearance appearance);
    ~CairoCanvas() override;
    CairoCanvas(const CairoCanvas&) = delete;
    CairoCanvas& operator=(const CairoCanvas&) = delete;

    platform::Appearance appearance() const override { return state_.appearance; }
    void setAppearance(platform::Appearance appearance) override { state_.appearance = appearance; }

    void save() override;
    void restore() override;
    void translate(double dx, double dy) override;
    void scale(double sx, double sy) override;
    void flipVertically(double height) override;
    bool isFlipped() const override { return state_.flipped; }
    void clip(const platform::Path& path) override;

    void fill(const platform::Path& path, const platform::Color& color) override;
    void stroke(const platform::Path& path, const platform::Color& color,
                const platform::LineStyle& line) override;

    void drawText(std::string_view text, const platform::Rect& rect,
                  const platform::TextStyle& style) override;
    platform::Size measureText(std::string_view text, const platform::Font& font) override;

    cairo_t* context() const { return context_; }

private:
    struct State {
        platform::Appearance appearance;
        bool flipped;
    };

    void addPath(const platform::Path& path);
    void setSource(const platform::Color& color);
    PangoLayout* layoutFor(std::string_view text, const platform::Font& font);
    bool hasMediumFace();

    cairo_t* context_;
    State state_;
    std::vector<State> saved_;
    PangoLayout* layout_ = nullptr;  // reused for every text: making one per text is the slow part
    std::optional<bool> hasMediumFace_;
};

}  // namespace ampwell::platform::cairo
