#pragma once

#include "platform/drawing/Color.hpp"
#include "platform/drawing/Geometry.hpp"
#include "platform/drawing/Path.hpp"

#include <string_view>
#include <vector>

namespace ampwell::platform {

class Image;

// "system" is the desktop's sans-serif text face; "monospacedDigit" is the same face with
// tabular figures, so that changing numbers do not make a text jitter (it is not a monospace
// family: letters keep their own widths).
enum class FontRole : unsigned char { system, monospacedDigit };
enum class FontWeight : unsigned char { regular, medium, semibold };
enum class TextAlignment : unsigned char { left, center, right };

struct Font {
    FontRole role = FontRole::system;
    double size = 13;  // points
    FontWeight weight = FontWeight::regular;
    friend bool operator==(const Font&, const Font&) = default;
};

struct TextStyle {
    Font font;
    Color color = Color::role(ColorRole::label);
    TextAlignment alignment = TextAlignment::left;
};

enum class LineCap : unsigned char { butt, round, square };
enum class LineJoin : unsigned char { miter, round, bevel };

struct LineStyle {
    double width = 1;  // points
    LineCap cap = LineCap::butt;
    LineJoin join = LineJoin::miter;
};

// The drawing surface the views, the status icon and the symbols draw on. Toolkit-neutral: a
// backend (cairo) implements it over a bitmap or over a window's drawing context.
//
// Coordinates are points. A canvas starts flipped: origin at the top left, y growing downward,
// as menu views draw. `flipVertically` turns it over for drawing that is written with the origin
// at the bottom left (images). Colours given by role are resolved in the canvas's current
// appearance at the moment of drawing. Nothing here fails: drawing with an empty path, an empty
// text or a zero-sized rectangle does nothing. Main thread only; a canvas is not shared between
// threads.
class Canvas {
public:
    virtual ~Canvas() = default;

    // The appearance role colours are resolved in. Saved and restored by save()/restore().
    virtual Appearance appearance() const = 0;
    virtual void setAppearance(Appearance appearance) = 0;
    RGBA resolve(const Color& color) const { return color.resolve(appearance()); }

    // Pushes / pops the whole drawing state: transform, flippedness, clip and appearance. Every
    // save() must be matched by one restore(); an unmatched restore() does nothing.
    virtual void save() = 0;
    virtual void restore() = 0;

    // Changes the transform for what is drawn afterwards. Scales must be positive.
    virtual void translate(double dx, double dy) = 0;
    virtual void scale(double sx, double sy) = 0;

    // Turns the y axis over within a box `height` points tall: afterwards the origin sits where
    // (0, height) was and y grows the other way. Texts stay upright. Calling it twice with the
    // same height turns the system back.
    virtual void flipVertically(double height) = 0;
    // True when y grows downward (the origin is the top-left corner).
    virtual bool isFlipped() const = 0;

    // Limits later drawing to the inside of `path` (intersected with the current clip).
    virtual void clip(const Path& path) = 0;

    virtual void fill(const Path& path, const Color& color) = 0;
    virtual void stroke(const Path& path, const Color& color, const LineStyle& line) = 0;

    // Draws `text` on one line inside `rect`: its top edge at the rectangle's top (the top is
    // rect.y when flipped, rect.maxY() when not), placed horizontally by the alignment. A text
    // wider than the rectangle is cut at the tail and ends with "…"; line breaks in the text are
    // drawn as spaces, so a text never wraps onto a second line. Upright in either orientation.
    virtual void drawText(std::string_view text, const Rect& rect, const TextStyle& style) = 0;

    // The size one line of `text` takes in `font`, without cutting: its advance width, and the
    // height of the line box drawText() places it in.
    virtual Size measureText(std::string_view text, const Font& font) = 0;

    // Shorthands over fill() and stroke().
    void fillRect(const Rect& rect, const Color& color);
    void fillRoundedRect(const Rect& rect, double rx, double ry, const Color& color);
    void strokeRoundedRect(const Rect& rect, double rx, double ry, double lineWidth, const Color& color);
    void fillOval(const Rect& rect, const Color& color);
    void fillPolygon(const std::vector<Point>& points, const Color& color);

    // Draws `image` stretched into `rect` (its point size mapped onto the rectangle), in the
    // image's own bottom-left coordinates whatever this canvas's orientation. Returns what the
    // image's draw() returned.
    bool drawImage(const Image& image, const Rect& rect);
};

}  // namespace ampwell::platform
