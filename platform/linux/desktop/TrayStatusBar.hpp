#pragma once

#include "platform/desktop/StatusItem.hpp"
#include "platform/linux/desktop/StatusNotifierItem.hpp"
#include "platform/linux/desktop/TrayMenuExport.hpp"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace ampwell::platform::linux_ {

// The status bar of a Linux desktop: the status item is shown as a StatusNotifierItem whose menu
// is exported with dbusmenu. The item is Active exactly while the status item is visible; its
// icon is the status item's image as pixmaps and as a PNG under an icon directory of our own; its
// title text is the Ayatana label and, for hosts that do not draw labels, the tool tip's title;
// its accessibility label and tooltip are the rest of the tool tip. One item
// is shown: the newest one still held by its owner. Main thread only.
class TrayStatusBar final : public StatusBar {
public:
    // `iconDirectory` receives the icon PNGs (created when missing); empty: pixmaps only.
    TrayStatusBar(GDBusConnection* connection, std::string iconDirectory);
    ~TrayStatusBar() override;

    std::shared_ptr<StatusItem> statusItem(std::optional<double> length) override;

    StatusNotifierItem& tray() { return tray_; }
    TrayMenuExport& menuExport() { return menu_; }
    // The status item shown now, or null.
    std::shared_ptr<StatusItem> current() const { return item_.lock(); }

    // The name the icon of `image` is written under ("ampwell-normal").
    static std::string iconName(const Image& image);
    // The tool tip's two parts: the accessibility label as its title, the rest of the tooltip as
    // its body (the tooltip's first line is the same label and is not repeated).
    static std::pair<std::string, std::string> toolTipParts(const StatusItem& item);

private:
    void present();
    void presentIcon(const std::shared_ptr<const Image>& image);

    TrayMenuExport menu_;
    StatusNotifierItem tray_;
    std::string iconDirectory_;
    std::weak_ptr<StatusItem> item_;
    std::shared_ptr<const Image> shownImage_;
    std::shared_ptr<Menu> shownMenu_;
    std::map<std::string, std::vector<IconPixmap>> pixmaps_;  // by icon name
};

}  // namespace ampwell::platform::linux_
