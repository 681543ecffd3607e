#pragma once

#include "app/ui/RenderCallback.hpp"
#include "platform/desktop/MenuView.hpp"
#include "platform/drawing/Canvas.hpp"

#include <string>

namespace ampwell {

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

}  // namespace ampwell
