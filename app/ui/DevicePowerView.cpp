#include "app/ui/DevicePowerView.hpp"

#include "app/ui/IndicatorIcon.hpp"
#include "platform/base/Translation.hpp"

namespace ampwell {

using platform::Color;
using platform::ColorRole;
using platform::FontRole;
using platform::FontWeight;
using platform::TextAlignment;

std::string stateWord(IndicatorState state) {
    switch (state.value()) {
    case IndicatorState::normal: return platform::tr("供电正常");
    case IndicatorState::low: return platform::tr("功率低于分界");
    case IndicatorState::unavailable: return platform::tr("等待读数");
    }
    return platform::tr("等待读数");
}

void DevicePowerView::update(std::string name, std::string power, std::string battery, std::string electrical,
                             IndicatorState state) {
    name_ = std::move(name);
    power_ = std::move(power);
    battery_ = std::move(battery);
    electrical_ = std::move(electrical);
    state_ = state;
    const std::string word = stateWord(state_);
    tooltip_ = name_ + " · " + power_ + " · " + word + "\n" + battery_ + "\n" + electrical_;
    const std::string comma = platform::tr("，");
    accessibilityLabel_ = name_ + comma + power_ + comma + word + comma + battery_ + comma + electrical_;
    if (onNeedsDisplay) onNeedsDisplay();
}

void DevicePowerView::draw(platform::Canvas& canvas, bool windowVisible) {
    const Color stateColor = indicatorColor(state_);
    const Color label = Color::role(ColorRole::label);
    const Color secondary = Color::role(ColorRole::secondaryLabel);

    canvas.fillRoundedRect({10, 3, 340, 79}, 9, 9, label.withAlpha(0.045));
    canvas.strokeRoundedRect({10, 3, 340, 79}, 9, 9, 0.5, Color::role(ColorRole::separator).withAlpha(0.18));
    canvas.fillRoundedRect({18, 19, 36, 36}, 8, 8, stateColor.withAlpha(0.1));
    const double cx = 36;
    const double cy = 37;
    canvas.fillPolygon({{cx + 2, cy - 11}, {cx - 7, cy + 1}, {cx - 1, cy + 1}, {cx - 3, cy + 11}, {cx + 8, cy - 2},
                        {cx + 2, cy - 2}},
                       stateColor);

    canvas.drawText(name_, {64, 14, 156, 20}, {{FontRole::system, 13, FontWeight::semibold}, label});
    canvas.drawText(power_, {225, 13, 110, 27},
                    {{FontRole::monospacedDigit, 19, FontWeight::medium}, label, TextAlignment::right});
    canvas.drawText(battery_, {64, 37, 269, 18}, {{FontRole::system, 11, FontWeight::regular}, secondary});
    canvas.drawText(electrical_, {64, 58, 269, 17},
                    {{FontRole::monospacedDigit, 10.5, FontWeight::regular}, secondary});
    if (onPowerRendered) onPowerRendered(power_, windowVisible);
}

nlohmann::json DevicePowerView::describe() const {
    return {{"kind", "card"},         {"name", name_},   {"power", power_}, {"battery", battery_},
            {"electrical", electrical_}, {"state", state_.rawValue()}};
}

}  // namespace ampwell
