#include "platform/desktop/StatusItem.hpp"

namespace ampwell::platform {

StatusItem::StatusItem(std::optional<double> length) : length_(length) {}

void StatusItem::changed() {
    if (groupDepth_ > 0) {
        pendingChange_ = true;
        return;
    }
    if (onChanged) onChanged();
}

StatusItem::Changes::Changes(StatusItem& item) : item_(item) { ++item_.groupDepth_; }

StatusItem::Changes::~Changes() {
    if (--item_.groupDepth_ > 0 || !item_.pendingChange_) return;
    item_.pendingChange_ = false;
    if (item_.onChanged) item_.onChanged();
}

namespace {
template <typename T>
bool assign(T& field, T value) {
    if (field == value) return false;
    field = std::move(value);
    return true;
}
}  // namespace

void StatusItem::setVisible(bool visible) {
    if (assign(visible_, visible)) changed();
}
void StatusItem::setLength(std::optional<double> length) {
    if (assign(length_, length)) changed();
}
void StatusItem::setImage(std::shared_ptr<const Image> image) {
    if (assign(image_, std::move(image))) changed();
}
void StatusItem::setImagePosition(ImagePosition position) {
    if (assign(imagePosition_, position)) changed();
}
void StatusItem::setImageScaling(ImageScaling scaling) {
    if (assign(imageScaling_, scaling)) changed();
}
void StatusItem::setTitle(std::string title) {
    if (assign(title_, std::move(title))) changed();
}
void StatusItem::setFont(Font font) {
    if (assign(font_, font)) changed();
}
void StatusItem::setToolTip(std::string toolTip) {
    if (assign(toolTip_, std::move(toolTip))) changed();
}
void StatusItem::setAccessibilityLabel(std::string label) {
    if (assign(accessibilityLabel_, std::move(label))) changed();
}
void StatusItem::setMenu(std::shared_ptr<Menu> menu) {
    if (assign(menu_, std::move(menu))) changed();
}

}  // namespace ampwell::platform
