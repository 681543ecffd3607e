#include "app/entry/Modes.hpp"

#include "app/ui/PowerMenuUI.hpp"
#include "platform/base/Translation.hpp"
#include "platform/drawing/cairo/CairoBitmap.hpp"

#include <array>

namespace ampwell {
namespace {

using platform::Color;

constexpr platform::Size kIconPreviewSize{300, 98};
constexpr double kIconPreviewScale = 2;

struct IconSample {
    IndicatorState state;
    const char* caption;
};

constexpr std::array<IconSample, 3> kIconSamples{{
    {IndicatorState::normal, platform::trMarked("正常／上限保护")},
    {IndicatorState::low, platform::trMarked("低功率／掉电")},
    {IndicatorState::unavailable, platform::trMarked("未知")},
}};

// The three status icons side by side on white, each enlarged 2.5 times with its caption below,
// laid out from the bottom-left corner up.
void drawIconPreview(platform::Canvas& canvas) {
    canvas.flipVertically(kIconPreviewSize.height);
    canvas.fillRect({0, 0, kIconPreviewSize.width, kIconPreviewSize.height}, Color::white(1));
    const platform::Font captionFont{platform::FontRole::system, 12, platform::FontWeight::regular};
    for (std::size_t i = 0; i < kIconSamples.size(); ++i) {
        const double center = 100.0 * static_cast<double>(i) + 50;
        canvas.drawImage(*indicatorIcon(kIconSamples[i].state), {center - 17.5, 37, 35, 40});
        const std::string text = platform::tr(kIconSamples[i].caption);
        const platform::Size caption = canvas.measureText(text, captionFont);
        canvas.drawText(text, {center - caption.width / 2, 10, caption.width + 2, caption.height},
                        {captionFont, Color::white(1.0 / 3)});
    }
}

}  // namespace

// An image that cannot be made or encoded writes nothing and still succeeds; a file that cannot
// be written throws, and the entry point reports it and fails.
int runPreviewIcons(ModeContext&, const std::string& path) {
    auto bitmap = platform::makeBitmapCanvas(kIconPreviewSize, kIconPreviewScale, platform::Appearance::light);
    if (!bitmap) return 0;
    drawIconPreview(*bitmap);
    const auto png = bitmap->encodePng();
    if (!png) return 0;
    platform::writeFileReplacing(path, *png);
    return 0;
}

}  // namespace ampwell
