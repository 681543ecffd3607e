#pragma once

#include "app/assessment/IndicatorState.hpp"
#include "app/ui/RenderCallback.hpp"
#include "platform/base/Translation.hpp"
#include "platform/desktop/MenuView.hpp"
#include "platform/drawing/Canvas.hpp"

#include <string>

namespace ampwell {

// The header of the status menu: product name, total power, what it sums, and the iPad's state.
// 360 x 126 points. Holds only what it shows; the refresh engine decides the texts.
class PowerOverviewView : public platform::MenuView {
public:
    static constexpr double kWidth = 360;
    static constexpr double kHeight = 126;

    RenderCallback onPowerRendered;

    // Stores the values, sets the tooltip to `status` and the accessibility label to
    // "Ampwell，" + power + "，" + caption + "，" + status, and asks to be drawn again.
    void update(std::string power, std::string caption, std::string status, IndicatorState state);

    const std::string& power() const { return power_; }
    const std::string& caption() const { return caption_; }
    const std::string& status() const { return status_; }
    IndicatorState state() const { return state_; }

    double width() const override { return kWidth; }
    double height() const override { return kHeight; }
    void draw(platform::Canvas& canvas, bool windowVisible) override;
    std::string tooltip() const override { return tooltip_; }
    std::string accessibilityLabel() const override { return accessibilityLabel_; }
    nlohmann::json describe() const override;

private:
    std::string power_ = "— W";
    std::string caption_ = platform::tr("正在读取连接设备");
    std::string status_ = platform::tr("正在读取 iPad 状态");
    IndicatorState state_ = IndicatorState::unavailable;
    std::string tooltip_;
    std::string accessibilityLabel_;
};

}  // namespace ampwell
