#pragma once

#include "platform/base/EventStream.hpp"
#include "platform/desktop/StatusItem.hpp"

#include <memory>
#include <vector>

namespace ampwell::platform::headless {

// The status bar without a screen: it hands out ordinary retained status items and tells the
// event stream a "status-item" event, with every shown key, whenever one of them changed:
// "visible", "image" (the image's name, null without one), "title", "length" (points, or
// "variable"), "imagePosition" ("only" or "leading"), "tooltip", "accessibilityLabel". A change of
// anything else (font, scaling, menu) is not shown and tells nothing. Main thread only.
class HeadlessStatusBar final : public StatusBar {
public:
    explicit HeadlessStatusBar(EventStream& events);

    std::shared_ptr<StatusItem> statusItem(std::optional<double> length) override;

    // The items handed out and still held by somebody, in the order they were made.
    std::vector<std::shared_ptr<StatusItem>> items() const;

private:
    EventStream& events_;
    std::vector<std::weak_ptr<StatusItem>> items_;
};

// The shown keys of `item`, as the "status-item" event carries them.
nlohmann::json describeStatusItem(const StatusItem& item);

}  // namespace ampwell::platform::headless
