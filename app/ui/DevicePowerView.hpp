#pragma once

#include "app/assessment/IndicatorState.hpp"
#include "app/ui/RenderCallback.hpp"
#include "platform/desktop/MenuView.hpp"
#include "platform/drawing/Canvas.hpp"

#include <string>

namespace ampwell {

// One card per connected port: a badge with a bolt in the state colour, the device name, its
// power, a battery line and an electrical line. 360 x 88 points.
class DevicePowerView : public platform::MenuView {
public:
    static constexpr double kWidth = 360;
    static constexpr double kHeight = 88;

    RenderCallback onPowerRendered;

    // Stores the values and derives the state word ("供电正常", "功率低于分界", "等待读数"). The
    // tooltip is name · power · state word, then battery and electrical on lines of their own;
    // the accessibility label is the same five parts joined with "，". Asks to be drawn again.
    void update(std::string name, std::string power, std::string battery, std::string electrical,
                IndicatorState state);

    const std::string& name() const { return name_; }
    const std::string& power() const { return power_; }
    const std::string& battery() const { return battery_; }
    const std::string& electrical() const { return electrical_; }
    IndicatorState state() const { return state_; }

    double width() const override { return kWidth; }
    double height() const override { return kHeight; }
    void draw(platform::Canvas& canvas, bool windowVisible) override;
    std::string tooltip() const override { return tooltip_; }
    std::string accessibilityLabel() const override { return accessibilityLabel_; }
    nlohmann::json describe() const override;

private:
    std::string name_;
    std::string power_ = "— W";
    std::string battery_;
    std::string electrical_;
    IndicatorState state_ = IndicatorState::unavailable;
    std::string tooltip_;
    std::string accessibilityLabel_;
};

// The word a card uses for its state.
std::string stateWord(IndicatorState state);

}  // namespace ampwell
