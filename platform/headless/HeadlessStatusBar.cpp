#include "platform/headless/HeadlessStatusBar.hpp"

#include "platform/Image.hpp"

namespace ampwell::platform::headless {

nlohmann::json describeStatusItem(const StatusItem& item) {
    nlohmann::json length = "variable";
    if (item.length()) length = *item.length();
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
