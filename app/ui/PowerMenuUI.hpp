#pragma once

#include "app/assessment/IndicatorState.hpp"
#include "platform/Canvas.hpp"
#include "platform/Image.hpp"
#include "platform/MenuView.hpp"

#include <functional>
#include <memory>
#include <string>

namespace ampwell {

// Called after a view has drawn: the text it drew (the power figure, or the footnote's trend)
// and whether the view's window was on screen. Set only while the sampling trace is on; an
// empty function means absent.
using RenderCallback = std::function<void(const std::string& text, bool windowVisible)>;

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
    std::string caption_ = "正在读取连接设备";
    std::string status_ = "正在读取 iPad 状态";
    IndicatorState state_ = IndicatorState::unavailable;
    std::string tooltip_;
    std::string accessibilityLabel_;
};

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

// One line under the cards about the iPad's battery trend, orange when it warns. 360 x 27 points.
class PowerFootnoteView : public platform::MenuView {
public:
    static constexpr double kWidth = 360;
    static constexpr double kHeight = 27;

    RenderCallback onRendered;

    // Stores both values, sets the tooltip and the accessibility label to `trend`, and asks to
    // be drawn again.
    void update(std::string trend, bool warning);

    const std::string& trend() const { return trend_; }
    bool warning() const { return warning_; }

    double width() const override { return kWidth; }
    double height() const override { return kHeight; }
    void draw(platform::Canvas& canvas, bool windowVisible) override;
    std::string tooltip() const override { return tooltip_; }
    std::string accessibilityLabel() const override { return accessibilityLabel_; }
    nlohmann::json describe() const override;

private:
    std::string trend_;
    bool warning_ = false;
    std::string tooltip_;
    std::string accessibilityLabel_;
};

// The colour of a state: system green for normal, yellow for low, grey for unavailable.
platform::Color indicatorColor(IndicatorState state);

// The status-bar icon of a state: a 14 x 16 point tablet outline with its camera dot and a bolt,
// all in the state colour. Not a template image, so it keeps its colour in any menu bar. Its
// name() is the state's raw value ("normal", "low", "unavailable"); its accessibility
// description is kIndicatorIconDescription.
std::shared_ptr<const platform::Image> indicatorIcon(IndicatorState state);

inline constexpr const char* kIndicatorIconDescription = "iPad 充电功率状态";

// The preview's canvas in points; it is rendered at twice that in pixels.
inline constexpr platform::Size kPowerMenuPreviewSize{776, 595};
inline constexpr double kPowerMenuPreviewScale = 2;

// Draws the preview's two panels with their sample contents onto `canvas` (flipped, in points,
// kPowerMenuPreviewSize large), whatever the canvas's own appearance.
void drawPowerMenuPreview(platform::Canvas& canvas);

// Draws a still picture of the whole menu, light on the left and dark on the right, and writes
// it as a 1552 x 1190 pixel PNG to `path`. Throws platform::FileWriteError when the file cannot be
// written; when the bitmap or the PNG cannot be made, writes nothing and returns quietly.
void renderPowerMenuPreview(const std::string& path);

}  // namespace ampwell
