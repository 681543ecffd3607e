#include "platform/desktop/headless/HeadlessStatusBar.hpp"

#include "platform/drawing/Image.hpp"

#include <cmath>
#include <cstdint>

namespace ampwell::platform::headless {

nlohmann::json describeStatusItem(const StatusItem& item) {
    nlohmann::json length = "variable";
    if (item.length()) {
        // A whole number of points is written as one (16, not 16.0).
        const double points = *item.length();
        if (std::trunc(points) == points && std::fabs(points) < 1e15)
            length = static_cast<std::int64_t>(points);
        else
            length = points;
    }
    return {{"visible", item.isVisible()},
            {"image", item.image() ? nlohmann::json(item.image()->name()) : nlohmann::json()},
            {"title", item.title()},
            {"length", length},
            {"imagePosition", item.imagePosition() == ImagePosition::imageOnly ? "only" : "leading"},
            {"tooltip", item.toolTip()},
            {"accessibilityLabel", item.accessibilityLabel()}};
}

HeadlessStatusBar::HeadlessStatusBar(EventStream& events) : events_(events) {}

std::shared_ptr<StatusItem> HeadlessStatusBar::statusItem(std::optional<double> length) {
    auto item = std::make_shared<StatusItem>(length);
    std::weak_ptr<StatusItem> weak = item;
    // What was last told; nothing is told until something shown changes.
    item->onChanged = [this, weak, told = describeStatusItem(*item)]() mutable {
        const auto current = weak.lock();
        if (!current) return;
        nlohmann::json shown = describeStatusItem(*current);
        if (shown == told) return;
        told = shown;
        events_.emit("status-item", shown);
    };
    items_.push_back(item);
    return item;
}

std::vector<std::shared_ptr<StatusItem>> HeadlessStatusBar::items() const {
    std::vector<std::shared_ptr<StatusItem>> alive;
    for (const auto& weak : items_)
        if (auto item = weak.lock()) alive.push_back(std::move(item));
    return alive;
}

}  // namespace ampwell::platform::headless
