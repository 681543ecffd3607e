#include "platform/drawing/Symbols.hpp"

#include <algorithm>
#include <array>
#include <numbers>

namespace ampwell::platform {
namespace {

// Symbols are designed in a box of design units, y growing downward, where 20 units make one
// point size (a 20 x 20 symbol at 14 points is 14 x 14 points). Strokes are in design units too,
// so lines thicken with the symbol.
constexpr double kUnitsPerEm = 20;
constexpr double kPi = std::numbers::pi;

constexpr double degrees(double value) { return value * kPi / 180; }

struct SymbolDesign {
    std::string_view name;
    Size box;
    void (*draw)(Canvas&, const Color&);
};

LineStyle roundLine(double width) { return LineStyle{width, LineCap::round, LineJoin::round}; }

Path line(Point from, Point to) {
    Path path;
    path.moveTo(from).lineTo(to);
    return path;
}

// The same outline as the bolt on the port cards, so the menu and the icon speak one language.
void drawBolt(Canvas& canvas, const Color& color) {
    canvas.fillPolygon({{9, 0}, {0, 12}, {6, 12}, {4, 22}, {15, 9}, {9, 9}}, color);
}

// A circle open at the upper right, ending at the top in an arrowhead that points clockwise.
void drawArrowClockwise(Canvas& canvas, const Color& color) {
    Path arc;
    arc.arc({10, 11}, 7, degrees(-35), degrees(265));
    canvas.stroke(arc, color, roundLine(1.9));
    canvas.fillPolygon({{14.2, 4}, {8.6, 0.2}, {8.6, 7.8}}, color);
}

// Three slider tracks with their knobs at different positions.
void drawSliders(Canvas& canvas, const Color& color) {
    const std::array<double, 3> rows{4, 10, 16};
    const std::array<double, 3> knobs{13.5, 6.5, 11.5};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        canvas.stroke(line({1.5, rows[i]}, {18.5, rows[i]}), color, roundLine(1.6));
        canvas.fillOval({knobs[i] - 2.7, rows[i] - 2.7, 5.4, 5.4}, color);
    }
}

// A plug seen from the side: the metal shell, the moulded grip and the cable leaving it.
void drawCableConnector(Canvas& canvas, const Color& color) {
    canvas.stroke(Path::roundedRect({6.5, 1.2, 7, 6}, 1.2, 1.2), color, roundLine(1.6));
    canvas.fillRoundedRect({4, 7.5, 12, 7}, 2.2, 2.2, color);
    canvas.stroke(line({10, 14}, {10, 18.8}), color, roundLine(2.2));
}

// A lower-case i inside a ring.
void drawInfoCircle(Canvas& canvas, const Color& color) {
    canvas.stroke(Path::oval({1.5, 1.5, 17, 17}), color, roundLine(1.6));
    canvas.fillOval({8.6, 4.4, 2.8, 2.8}, color);
    canvas.stroke(line({10, 9.2}, {10, 14.6}), color, roundLine(2.1));
}

// The power sign: a ring open at the top with a bar through the opening.
void drawPower(Canvas& canvas, const Color& color) {
    Path ring;
    ring.arc({10, 11}, 7.6, degrees(-55), degrees(235));
    canvas.stroke(ring, color, roundLine(1.9));
    canvas.stroke(line({10, 1.6}, {10, 10}), color, roundLine(1.9));
}

// Two axes and a line across them that falls and rises again: a chart over time.
void drawChartLine(Canvas& canvas, const Color& color) {
    Path axes;
    axes.moveTo({2, 1.5}).lineTo({2, 18}).lineTo({18.5, 18});
    canvas.stroke(axes, color, roundLine(1.6));
    Path trace;
    trace.moveTo({5, 8}).lineTo({9, 13}).lineTo({12.5, 10}).lineTo({17, 4});
    canvas.stroke(trace, color, roundLine(1.9));
}

constexpr std::array<SymbolDesign, 7> kSymbols{{
    {"bolt.fill", {15, 22}, &drawBolt},
    {"arrow.clockwise", {20, 20}, &drawArrowClockwise},
    {"slider.horizontal.3", {20, 20}, &drawSliders},
    {"cable.connector", {20, 20}, &drawCableConnector},
    {"info.circle", {20, 20}, &drawInfoCircle},
    {"power", {20, 20}, &drawPower},
    {"chart.xyaxis.line", {20, 20}, &drawChartLine},
}};

const SymbolDesign* findSymbol(std::string_view name) {
    const auto found =
        std::find_if(kSymbols.begin(), kSymbols.end(), [&](const SymbolDesign& design) { return design.name == name; });
    return found == kSymbols.end() ? nullptr : &*found;
}

class SymbolImage : public Image {
public:
    SymbolImage(const SymbolDesign& design, double pointSize, Color color)
        : design_(design),
          size_{design.box.width * pointSize / kUnitsPerEm, design.box.height * pointSize / kUnitsPerEm},
          color_(color) {}

    double width() const override { return size_.width; }
    double height() const override { return size_.height; }
    bool draw(Canvas& canvas) const override {
        return drawSymbol(canvas, design_.name, {0, 0, size_.width, size_.height}, color_);
    }
    std::string name() const override { return std::string(design_.name); }
    bool isTemplate() const override { return false; }

private:
    const SymbolDesign& design_;
    Size size_;
    Color color_;
};

}  // namespace

bool isKnownSymbol(std::string_view name) { return findSymbol(name) != nullptr; }

std::optional<Size> symbolSize(std::string_view name, double pointSize) {
    const SymbolDesign* design = findSymbol(name);
    if (design == nullptr) return std::nullopt;
    return Size{design->box.width * pointSize / kUnitsPerEm, design->box.height * pointSize / kUnitsPerEm};
}

bool drawSymbol(Canvas& canvas, std::string_view name, const Rect& rect, const Color& color) {
    const SymbolDesign* design = findSymbol(name);
    if (design == nullptr || !(rect.width > 0) || !(rect.height > 0)) return false;
    const double scale = std::min(rect.width / design->box.width, rect.height / design->box.height);
    const double drawnWidth = design->box.width * scale;
    const double drawnHeight = design->box.height * scale;
    canvas.save();
    canvas.translate(rect.x + (rect.width - drawnWidth) / 2, rect.y + (rect.height - drawnHeight) / 2);
    // Designs are written top-down; in a bottom-left system turn the box over first.
    if (!canvas.isFlipped()) canvas.flipVertically(drawnHeight);
    canvas.scale(scale, scale);
    design->draw(canvas, color);
    canvas.restore();
    return true;
}

std::shared_ptr<const Image> symbolImage(std::string_view name, double pointSize, const Color& color) {
    const SymbolDesign* design = findSymbol(name);
    if (design == nullptr || !(pointSize > 0)) return nullptr;
    return std::make_shared<SymbolImage>(*design, pointSize, color);
}

}  // namespace ampwell::platform
