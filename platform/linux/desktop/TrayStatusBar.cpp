#include "platform/linux/desktop/TrayStatusBar.hpp"

#include "platform/drawing/Image.hpp"
#include "platform/drawing/cairo/CairoCanvas.hpp"
#include "platform/linux/desktop/IconRaster.hpp"

#include <glib.h>
#include <glib/gstdio.h>

namespace ampwell::platform::linux_ {

namespace {

// Draws the image filling the box the raster gives it (one unit per point, origin top-left).
IconDrawing drawingOf(const Image& image) {
    return [&image](cairo_t* cr) {
        cairo::CairoCanvas canvas(cr, Appearance::light);
        return canvas.drawImage(image, Rect{0, 0, image.width(), image.height()});
    };
}

}  // namespace

TrayStatusBar::TrayStatusBar(GDBusConnection* connection, std::string iconDirectory)
    : menu_(), tray_(connection, "ampwell", menu_.path()), iconDirectory_(std::move(iconDirectory)) {
    tray_.setTitle("Ampwell");
    if (!iconDirectory_.empty() && g_mkdir_with_parents(iconDirectory_.c_str(), 0700) != 0) iconDirectory_.clear();
}

TrayStatusBar::~TrayStatusBar() {
    if (auto item = item_.lock()) item->onChanged = nullptr;
}

std::shared_ptr<StatusItem> TrayStatusBar::statusItem(std::optional<double> length) {
    if (auto old = item_.lock()) old->onChanged = nullptr;
    auto item = std::make_shared<StatusItem>(length);
    item_ = item;
    item->onChanged = [this] { present(); };
    present();
    return item;
}

std::string TrayStatusBar::iconName(const Image& image) { return "ampwell-" + image.name(); }

std::pair<std::string, std::string> TrayStatusBar::toolTipParts(const StatusItem& item) {
    const std::string& label = item.accessibilityLabel();
    const std::string& tip = item.toolTip();
    if (!label.empty() && tip.rfind(label + "\n", 0) == 0) return {label, tip.substr(label.size() + 1)};
    if (label.empty()) {
        const auto newline = tip.find('\n');
        if (newline == std::string::npos) return {tip, ""};
        return {tip.substr(0, newline), tip.substr(newline + 1)};
    }
    return {label, tip == label ? "" : tip};
}

void TrayStatusBar::present() {
    auto item = item_.lock();
    if (!item) {
        tray_.setVisible(false);
        shownMenu_ = nullptr;
        menu_.setMenu(nullptr);
        return;
    }
    if (item->menu() != shownMenu_) {
        shownMenu_ = item->menu();
        menu_.setMenu(shownMenu_);
    }
    presentIcon(item->image());
    std::string label = item->title();
    if (!label.empty() && label.front() == ' ') label.erase(0, 1);  // the host spaces icon and text itself
    tray_.setLabel(label, label);
    auto [title, body] = toolTipParts(*item);
    // Most hosts (xfce4-panel, lxqt-panel, waybar) never draw the label; all of them show the
    // tool tip's title on hover, so the chosen display mode's text leads it there.
    if (!label.empty() && label != title) {
        body = body.empty() ? title : title + "\n" + body;
        title = label;
    }
    tray_.setToolTip(title, body);
    tray_.setVisible(item->isVisible());
}

void TrayStatusBar::presentIcon(const std::shared_ptr<const Image>& image) {
    if (image == shownImage_) return;
    shownImage_ = image;
    if (!image) {
        tray_.setIcon({}, "", "");
        return;
    }
    const std::string name = iconName(*image);
    auto found = pixmaps_.find(name);
    if (found == pixmaps_.end()) {
        found = pixmaps_.emplace(name, rasterizeIcon(image->width(), image->height(), drawingOf(*image))).first;
        // Hosts that show only named icons find it in our own directory, at the size panels use most.
        if (!iconDirectory_.empty()) {
            const std::string file = iconDirectory_ + "/" + name + ".png";
            if (!writeIconPng(file, 64, image->width(), image->height(), drawingOf(*image))) g_remove(file.c_str());
        }
    }
    const bool named = !iconDirectory_.empty() && g_file_test((iconDirectory_ + "/" + name + ".png").c_str(), G_FILE_TEST_EXISTS);
    tray_.setIcon(found->second, named ? name : "", named ? iconDirectory_ : "");
}

}  // namespace ampwell::platform::linux_
