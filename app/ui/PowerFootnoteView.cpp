#include "app/ui/PowerFootnoteView.hpp"

namespace ampwell {

using platform::Color;
using platform::ColorRole;

void PowerFootnoteView::update(std::string trend, bool warning) {
    trend_ = std::move(trend);
    warning_ = warning;
    tooltip_ = trend_;
    accessibilityLabel_ = trend_;
    if (onNeedsDisplay) onNeedsDisplay();
}

void PowerFootnoteView::draw(platform::Canvas& canvas, bool windowVisible) {
    const Color color = Color::role(warning_ ? ColorRole::orange : ColorRole::secondaryLabel);
    canvas.drawText(trend_, {19, 4, 323, 18}, {{platform::FontRole::system, 11, platform::FontWeight::regular}, color});
    if (onRendered) onRendered(trend_, windowVisible);
}

nlohmann::json PowerFootnoteView::describe() const {
    return {{"kind", "footnote"}, {"trend", trend_}, {"warning", warning_}};
}

}  // namespace ampwell
