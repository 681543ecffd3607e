#include "platform/drawing/cairo/CairoCanvas.hpp"

#include <pango/pangocairo.h>

#include <algorithm>
#include <string>

namespace ampwell::platform::cairo {
namespace {

using platform::Color;
using platform::Font;
using platform::FontRole;
using platform::FontWeight;
using platform::Path;
using platform::Rect;
using platform::Size;

// One face covers the Latin and the Chinese texts alike, so the two never clash in one line.
constexpr const char* kFontFamily = "Noto Sans CJK SC";

// Where the first baseline sits below the top of a text's rectangle, in ems. Noto's own line box
// is much taller than the desktop face these views were laid out for; placing the baseline as
// that face would keeps every text where its rectangle says.
constexpr double kBaselineEms = 0.952;
// And how far below the baseline that face's line ends: a measured line is the two together.
constexpr double kDescentEms = 0.241;
// When the face has no medium cut (fonts-noto-cjk ships only regular and bold), medium is drawn
// as regular twice, this far apart, which reads as the step between the two.
constexpr double kMediumOffsetEms = 0.016;

PangoWeight pangoWeight(FontWeight weight) {
    switch (weight) {
    case FontWeight::regular: return PANGO_WEIGHT_NORMAL;
    case FontWeight::medium: return PANGO_WEIGHT_MEDIUM;
    case FontWeight::semibold: return PANGO_WEIGHT_SEMIBOLD;
    }
    return PANGO_WEIGHT_NORMAL;
}

PangoAlignment pangoAlignment(platform::TextAlignment alignment) {
    switch (alignment) {
    case platform::TextAlignment::left: return PANGO_ALIGN_LEFT;
    case platform::TextAlignment::center: return PANGO_ALIGN_CENTER;
    case platform::TextAlignment::right: return PANGO_ALIGN_RIGHT;
    }
    return PANGO_ALIGN_LEFT;
}

// Drawn texts are one line: breaks become spaces instead of starting a second line.
std::string oneLine(std::string_view text) {
    std::string line(text);
    for (char& c : line)
        if (c == '\n' || c == '\r' || c == '\t' || c == '\v' || c == '\f') c = ' ';
    return line;
}

cairo_line_cap_t cairoCap(platform::LineCap cap) {
    switch (cap) {
    case platform::LineCap::butt: return CAIRO_LINE_CAP_BUTT;
    case platform::LineCap::round: return CAIRO_LINE_CAP_ROUND;
    case platform::LineCap::square: return CAIRO_LINE_CAP_SQUARE;
    }
    return CAIRO_LINE_CAP_BUTT;
}

cairo_line_join_t cairoJoin(platform::LineJoin join) {
    switch (join) {
    case platform::LineJoin::miter: return CAIRO_LINE_JOIN_MITER;
    case platform::LineJoin::round: return CAIRO_LINE_JOIN_ROUND;
    case platform::LineJoin::bevel: return CAIRO_LINE_JOIN_BEVEL;
    }
    return CAIRO_LINE_JOIN_MITER;
}

}  // namespace

CairoCanvas::CairoCanvas(cairo_t* context, platform::Appearance appearance)
    : context_(context), state_{appearance, true} {
    layout_ = pango_cairo_create_layout(context_);
    PangoContext* pango = pango_layout_get_context(layout_);
    // Unhinted outlines at fractional positions: the same text has the same shape at 1x and 2x,
    // and widths do not jump with the scale.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_antialias(options, CAIRO_ANTIALIAS_GRAY);
    pango_cairo_context_set_font_options(pango, options);
    cairo_font_options_destroy(options);
    pango_context_set_round_glyph_positions(pango, FALSE);
    pango_context_set_language(pango, pango_language_from_string("zh-cn"));
    pango_layout_context_changed(layout_);
    pango_layout_set_single_paragraph_mode(layout_, TRUE);
}

CairoCanvas::~CairoCanvas() {
    // Leave the borrowed context as it was handed over.
    while (!saved_.empty()) restore();
    g_object_unref(layout_);
}

void CairoCanvas::save() {
    cairo_save(context_);
    saved_.push_back(state_);
}

void CairoCanvas::restore() {
    if (saved_.empty()) return;
    cairo_restore(context_);
    state_ = saved_.back();
    saved_.pop_back();
}

void CairoCanvas::translate(double dx, double dy) {
    cairo_translate(context_, dx, dy);
}

void CairoCanvas::scale(double sx, double sy) {
    if (!(sx > 0) || !(sy > 0)) return;  // a degenerate matrix would put cairo into an error state
    cairo_scale(context_, sx, sy);
}

void CairoCanvas::flipVertically(double height) {
    cairo_translate(context_, 0, height);
    cairo_scale(context_, 1, -1);
    state_.flipped = !state_.flipped;
}

void CairoCanvas::clip(const Path& path) {
    cairo_new_path(context_);
    addPath(path);
    cairo_clip(context_);
}

void CairoCanvas::fill(const Path& path, const Color& color) {
    if (path.empty()) return;
    cairo_new_path(context_);
    addPath(path);
    setSource(color);
    cairo_fill(context_);
}

void CairoCanvas::stroke(const Path& path, const Color& color, const platform::LineStyle& line) {
    if (path.empty() || !(line.width > 0)) return;
    cairo_new_path(context_);
    addPath(path);
    setSource(color);
    cairo_set_line_width(context_, line.width);
    cairo_set_line_cap(context_, cairoCap(line.cap));
    cairo_set_line_join(context_, cairoJoin(line.join));
    cairo_stroke(context_);
}

void CairoCanvas::drawText(std::string_view text, const Rect& rect, const platform::TextStyle& style) {
    if (text.empty() || !(rect.width > 0) || !(style.font.size > 0)) return;
    PangoLayout* layout = layoutFor(text, style.font);
    pango_layout_set_width(layout, static_cast<int>(rect.width * PANGO_SCALE));
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_END);
    pango_layout_set_alignment(layout, pangoAlignment(style.alignment));

    cairo_save(context_);
    // Texts always read upright: in a bottom-left system, turn the axis back at the rectangle's top.
    if (state_.flipped) {
        cairo_translate(context_, rect.x, rect.y);
    } else {
        cairo_translate(context_, rect.x, rect.maxY());
        cairo_scale(context_, 1, -1);
    }
    pango_cairo_update_layout(context_, layout);
    const double top = kBaselineEms * style.font.size -
                       static_cast<double>(pango_layout_get_baseline(layout)) / PANGO_SCALE;
    if (style.font.weight == FontWeight::medium && !hasMediumFace()) {
        // Two passes a hair apart thicken the strokes; drawn opaque into a group and laid down
        // once at the colour's alpha, so the overlap is not darker than the colour asks.
        const double offset = kMediumOffsetEms * style.font.size;
        const platform::RGBA color = style.color.resolve(state_.appearance);
        cairo_rectangle(context_, -1, -1, rect.width + offset + 2, std::max(rect.height, 1.5 * style.font.size) + 2);
        cairo_clip(context_);
        cairo_push_group(context_);
        cairo_set_source_rgb(context_, color.red, color.green, color.blue);
        cairo_move_to(context_, 0, top);
        pango_cairo_show_layout(context_, layout);
        cairo_move_to(context_, offset, top);
        pango_cairo_show_layout(context_, layout);
        cairo_pop_group_to_source(context_);
        cairo_paint_with_alpha(context_, color.alpha);
    } else {
        setSource(style.color);
        cairo_move_to(context_, 0, top);
        pango_cairo_show_layout(context_, layout);
    }
    cairo_restore(context_);
    cairo_new_path(context_);
}

Size CairoCanvas::measureText(std::string_view text, const Font& font) {
    if (text.empty() || !(font.size > 0)) return {};
    PangoLayout* layout = layoutFor(text, font);
    pango_layout_set_width(layout, -1);
    pango_layout_set_ellipsize(layout, PANGO_ELLIPSIZE_NONE);
    pango_cairo_update_layout(context_, layout);
    PangoRectangle logical;
    pango_layout_get_extents(layout, nullptr, &logical);
    return {static_cast<double>(logical.width) / PANGO_SCALE, (kBaselineEms + kDescentEms) * font.size};
}

PangoLayout* CairoCanvas::layoutFor(std::string_view text, const Font& font) {
    PangoFontDescription* description = pango_font_description_new();
    pango_font_description_set_family_static(description, kFontFamily);
    pango_font_description_set_weight(description, pangoWeight(font.weight));
    pango_font_description_set_absolute_size(description, font.size * PANGO_SCALE);
    pango_layout_set_font_description(layout_, description);
    pango_font_description_free(description);

    PangoAttrList* attributes = pango_attr_list_new();
    if (font.role == FontRole::monospacedDigit)
        pango_attr_list_insert(attributes, pango_attr_font_features_new("tnum=1"));
    pango_layout_set_attributes(layout_, attributes);
    pango_attr_list_unref(attributes);

    const std::string line = oneLine(text);
    pango_layout_set_text(layout_, line.data(), static_cast<int>(line.size()));
    return layout_;
}

bool CairoCanvas::hasMediumFace() {
    if (!hasMediumFace_) {
        PangoFontDescription* description = pango_font_description_new();
        pango_font_description_set_family_static(description, kFontFamily);
        pango_font_description_set_weight(description, PANGO_WEIGHT_MEDIUM);
        pango_font_description_set_absolute_size(description, 12 * PANGO_SCALE);
        PangoFont* font = pango_context_load_font(pango_layout_get_context(layout_), description);
        pango_font_description_free(description);
        hasMediumFace_ = false;
        if (font != nullptr) {
            PangoFontDescription* loaded = pango_font_describe(font);
            hasMediumFace_ = pango_font_description_get_weight(loaded) == PANGO_WEIGHT_MEDIUM;
            pango_font_description_free(loaded);
            g_object_unref(font);
        }
    }
    return *hasMediumFace_;
}

void CairoCanvas::addPath(const Path& path) {
    for (const auto& element : path.elements()) {
        const auto& p = element.points;
        switch (element.verb) {
        case Path::Verb::moveTo: cairo_move_to(context_, p[0].x, p[0].y); break;
        case Path::Verb::lineTo: cairo_line_to(context_, p[0].x, p[0].y); break;
        case Path::Verb::curveTo:
            cairo_curve_to(context_, p[0].x, p[0].y, p[1].x, p[1].y, p[2].x, p[2].y);
            break;
        case Path::Verb::arc:
            if (element.radius > 0)
                cairo_arc(context_, p[0].x, p[0].y, element.radius, element.startAngle, element.endAngle);
            break;
        case Path::Verb::close: cairo_close_path(context_); break;
        }
    }
}

void CairoCanvas::setSource(const Color& color) {
    const platform::RGBA value = color.resolve(state_.appearance);
    cairo_set_source_rgba(context_, value.red, value.green, value.blue, value.alpha);
}

}  // namespace ampwell::platform::cairo
