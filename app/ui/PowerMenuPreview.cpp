#include "app/ui/PowerMenuPreview.hpp"

#include "app/ui/PowerMenuUI.hpp"
#include "platform/base/Translation.hpp"
#include "platform/desktop/KeyShortcut.hpp"
#include "platform/drawing/Symbols.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"

#include <array>

namespace ampwell {
namespace {

using platform::Appearance;
using platform::Color;
using platform::ColorRole;
using platform::FontRole;
using platform::FontWeight;
using platform::TextAlignment;

constexpr double kPanelWidth = 360;
constexpr double kPanelHeight = 565;
constexpr double kPanelTop = 14;
constexpr double kPanelCornerRadius = 12;
constexpr double kMenuRowHeight = 27;

struct SampleCard {
    const char* name;
    const char* power;
    const char* port;
    const char* charging;  // the catalog's text, translated when drawn
    const char* electrical;
};

constexpr std::array<SampleCard, 3> kSampleCards{{
    {"iPad", "8.4 W", "USB-C 1 · 80% · ", platform::trMarked("未充电"), "5.22 V  /  1.61 A"},
    {"iPhone", "2.1 W", "USB-C 2 · 89% · ", platform::trMarked("充电中"), "5.23 V  /  0.40 A"},
    {"Mac", "8.4 W", "USB-C 3 · 80% · ", platform::trMarked("充电状态未提供"), "5.20 V  /  1.62 A"},
}};

struct SampleRow {
    const char* title;
    const char* symbol;
    const char* key;  // the key equivalent's letter, or "" for none
    bool submenu;
};

constexpr std::array<SampleRow, 5> kSampleRows{{
    {platform::trMarked("立即刷新"), "arrow.clockwise", "r", false},
    {platform::trMarked("偏好设置"), "slider.horizontal.3", "", true},
    {platform::trMarked("重置 USB 连接…"), "cable.connector", "", true},
    {platform::trMarked("关于读数"), "info.circle", "", false},
    {platform::trMarked("退出 Ampwell"), "power", "q", false},
}};

// Draws `view` with its top-left corner at `top` and returns where the next part starts.
double place(platform::Canvas& canvas, platform::MenuView& view, double top) {
    canvas.save();
    canvas.translate(0, top);
    view.draw(canvas, false);  // a preview is never in a window on screen
    canvas.restore();
    return top + view.height();
}

// A plain menu item as the menu shows it: symbol, title and shortcut.
double placeMenuRow(platform::Canvas& canvas, const SampleRow& row, double top) {
    const bool dark = canvas.appearance() == Appearance::dark;
    canvas.save();
    canvas.translate(0, top);
    platform::drawSymbol(canvas, row.symbol, {19, 6, 14, 14}, Color::role(ColorRole::secondaryLabel));
    const Color title = dark ? Color::white(0.9) : Color::role(ColorRole::label);
    canvas.drawText(platform::tr(row.title), {42, 4, 270, 20}, {{FontRole::system, 13, FontWeight::regular}, title});
    // The preview is the simulated Mac's menu, which writes key equivalents with the command key.
    const std::string shortcut = row.submenu ? "›" : platform::shortcutText(row.key, platform::ShortcutStyle::command);
    canvas.drawText(
        shortcut, {310, 4, 30, 20},
        {{FontRole::system, 13, FontWeight::regular}, Color::role(ColorRole::tertiaryLabel), TextAlignment::right});
    canvas.restore();
    return top + kMenuRowHeight;
}

void drawPanel(platform::Canvas& canvas, double left, Appearance appearance) {
    canvas.save();
    canvas.setAppearance(appearance);
    canvas.translate(left, kPanelTop);
    const platform::Rect bounds{0, 0, kPanelWidth, kPanelHeight};
    canvas.clip(platform::Path::roundedRect(bounds, kPanelCornerRadius, kPanelCornerRadius));
    canvas.fillRect(bounds, Color::role(ColorRole::windowBackground));

    PowerOverviewView overview;
    overview.update("18.9 W",
                    platform::trPluralFormat("{} 台设备", "{} 台设备", 3, 3) + " · " + platform::tr("接口合计"),
                    std::string("iPad 80% · ") + platform::tr("上限保护，暂停充电"), IndicatorState::normal);
    double top = place(canvas, overview, 0);
    for (const auto& sample : kSampleCards) {
        DevicePowerView card;
        const IndicatorState state =
            std::string_view(sample.name) == "iPad" ? IndicatorState::normal : IndicatorState::low;
        card.update(sample.name, sample.power, sample.port + std::string(platform::tr(sample.charging)),
                    sample.electrical + std::string("  ·  ") + platform::trFormat("上限 {}", "15 W"), state);
        top = place(canvas, card, top);
    }
    PowerFootnoteView footnote;
    footnote.update(platform::tr("电量暂时稳定"), false);
    top = place(canvas, footnote, top);
    for (const auto& row : kSampleRows) top = placeMenuRow(canvas, row, top);
    canvas.restore();
}

}  // namespace

void drawPowerMenuPreview(platform::Canvas& canvas) {
    canvas.fillRect({0, 0, kPowerMenuPreviewSize.width, kPowerMenuPreviewSize.height}, Color::white(0.5, 0.08));
    drawPanel(canvas, 16, Appearance::light);
    drawPanel(canvas, 400, Appearance::dark);
}

void renderPowerMenuPreview(const std::string& path) {
    auto bitmap = platform::makeBitmapCanvas(kPowerMenuPreviewSize, kPowerMenuPreviewScale, Appearance::light);
    if (!bitmap) return;
    drawPowerMenuPreview(*bitmap);
    const auto png = bitmap->encodePng();
    if (!png) return;
    platform::writeFileReplacing(path, *png);
}

}  // namespace ampwell
