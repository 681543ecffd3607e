#include "app/ui/PowerOverviewView.hpp"

#include "app/ui/IndicatorIcon.hpp"
#include "platform/base/Translation.hpp"

namespace ampwell {

using platform::Color;
using platform::ColorRole;
using platform::FontRole;
using platform::FontWeight;
using platform::TextAlignment;

void PowerOverviewView::update(std::string power, std::string caption, std::string status, IndicatorState state) {
    power_ = std::move(power);
    caption_ = std::move(caption);
    status_ = std::move(status);
    state_ = state;
    tooltip_ = status_;
    const std::string comma = platform::tr("，");
    accessibilityLabel_ = "Ampwell" + comma + power_ + comma + caption_ + comma + status_;
    if (onNeedsDisplay) onNeedsDisplay();
}

void PowerOverviewView::draw(platform::Canvas& canvas, bool windowVisible) {
    const Color label = Color::role(ColorRole::label);
    const Color secondary = Color::role(ColorRole::secondaryLabel);
    canvas.drawText("Ampwell", {18, 10, 210, 21}, {{FontRole::system, 14, FontWeight::semibold}, label});
    canvas.drawText(platform::tr("实时输出"), {256, 13, 86, 17},
                    {{FontRole::system, 11, FontWeight::regular}, secondary, TextAlignment::right});
    canvas.drawText(power_, {17, 34, 325, 40}, {{FontRole::monospacedDigit, 30, FontWeight::medium}, label});
    canvas.drawText(caption_, {19, 77, 323, 17}, {{FontRole::system, 11, FontWeight::regular}, secondary});
    canvas.fillOval({20, 106, 6, 6}, indicatorColor(state_));
    canvas.drawText(status_, {33, 100, 309, 20}, {{FontRole::system, 12, FontWeight::regular}, label});
    if (onPowerRendered) onPowerRendered(power_, windowVisible);
}

nlohmann::json PowerOverviewView::describe() const {
    return {{"kind", "overview"},
            {"power", power_},
            {"caption", caption_},
            {"status", status_},
            {"state", state_.rawValue()}};
}

}  // namespace ampwell
