#include "app/ui/IndicatorIcon.hpp"

#include "platform/base/Translation.hpp"
#include "platform/drawing/Symbols.hpp"

#include <algorithm>

namespace ampwell {
namespace {

using platform::Color;
using platform::ColorRole;

// A tablet outline with its camera dot and a bolt, all in the state colour, 14 x 16 points,
// drawn from the bottom-left corner up.
class StatusIcon : public platform::Image {
public:
    explicit StatusIcon(IndicatorState state)
        : state_(state), bolt_(platform::symbolImage("bolt.fill", 10, indicatorColor(state))) {}

    double width() const override { return 14; }
    double height() const override { return 16; }

    bool draw(platform::Canvas& canvas) const override {
        const Color color = indicatorColor(state_);
        canvas.strokeRoundedRect({1.25, 0.75, 11.5, 14.5}, 1.6, 1.6, 1, color);
        canvas.fillOval({6.65, 13.55, 0.7, 0.7}, color);
        if (!bolt_ || !(bolt_->width() > 0) || !(bolt_->height() > 0)) return false;
        const double scale = std::min(8.5 / bolt_->height(), 5.5 / bolt_->width());
        const double boltWidth = bolt_->width() * scale;
        const double boltHeight = bolt_->height() * scale;
        const platform::Rect centred{(width() - boltWidth) / 2, (height() - boltHeight) / 2, boltWidth, boltHeight};
        return canvas.drawImage(*bolt_, centred);
    }

    std::string name() const override { return std::string(state_.rawValue()); }
    std::string accessibilityDescription() const override { return platform::tr(kIndicatorIconDescription); }
    // Coloured, so that a low supply stays yellow in a dark menu bar too.
    bool isTemplate() const override { return false; }

private:
    IndicatorState state_;
    std::shared_ptr<const platform::Image> bolt_;
};

}  // namespace

platform::Color indicatorColor(IndicatorState state) {
    switch (state.value()) {
    case IndicatorState::normal: return Color::role(ColorRole::green);
    case IndicatorState::low: return Color::role(ColorRole::yellow);
    case IndicatorState::unavailable: return Color::role(ColorRole::grey);
    }
    return Color::role(ColorRole::grey);
}

std::shared_ptr<const platform::Image> indicatorIcon(IndicatorState state) {
    return std::make_shared<StatusIcon>(state);
}

}  // namespace ampwell
