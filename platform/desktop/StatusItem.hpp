#pragma once

#include "platform/drawing/Canvas.hpp"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ampwell::platform {

class Image;
class Menu;

// Where the button's image sits relative to its title.
enum class ImagePosition { imageOnly, imageLeading };

// How the image is fitted to the button: drawn at its own size, or shrunk to fit.
enum class ImageScaling { none, proportionallyDown };


// One item in the system status bar: a button showing an image and/or a title, and the menu it
// opens. Retained state that the controller sets and the desktop shows; the desktop learns of
// changes through onChanged. Main thread only.
class StatusItem {
public:
    // `length` in points, or nullopt for a variable length that follows the content.
    explicit StatusItem(std::optional<double> length);
    StatusItem(const StatusItem&) = delete;
    StatusItem& operator=(const StatusItem&) = delete;

    // A new item starts hidden; nothing of it is shown until it is made visible.
    bool isVisible() const { return visible_; }
    void setVisible(bool visible);

    // nullopt: variable length (the system's automatic width).
    std::optional<double> length() const { return length_; }
    void setLength(std::optional<double> length);

    const std::shared_ptr<const Image>& image() const { return image_; }
    void setImage(std::shared_ptr<const Image> image);

    ImagePosition imagePosition() const { return imagePosition_; }
    void setImagePosition(ImagePosition position);

    ImageScaling imageScaling() const { return imageScaling_; }
    void setImageScaling(ImageScaling scaling);

    const std::string& title() const { return title_; }
    void setTitle(std::string title);

    // The title's font (the same roles the views draw with).
    const Font& font() const { return font_; }
    void setFont(Font font);

    const std::string& toolTip() const { return toolTip_; }
    void setToolTip(std::string toolTip);

    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::string label);

    // The menu shown when the button is clicked; the desktop opens it with Menu::open().
    const std::shared_ptr<Menu>& menu() const { return menu_; }
    void setMenu(std::shared_ptr<Menu> menu);

    // Groups several changes into one report: while a Changes object lives, onChanged is held
    // back; when the last one ends, onChanged runs once if anything changed.
    class Changes {
    public:
        explicit Changes(StatusItem& item);
        ~Changes();
        Changes(const Changes&) = delete;
        Changes& operator=(const Changes&) = delete;

    private:
        StatusItem& item_;
    };

    // Set by the desktop that shows the item: called after a setter changed a value (or once at
    // the end of a Changes group). May be empty.
    std::function<void()> onChanged;

private:
    void changed();

    bool visible_ = false;
    std::optional<double> length_;
    std::shared_ptr<const Image> image_;
    ImagePosition imagePosition_ = ImagePosition::imageLeading;
    ImageScaling imageScaling_ = ImageScaling::proportionallyDown;
    std::string title_;
    Font font_;
    std::string toolTip_;
    std::string accessibilityLabel_;
    std::shared_ptr<Menu> menu_;
    int groupDepth_ = 0;
    bool pendingChange_ = false;
};

// The system status bar: hands out status items.
class StatusBar {
public:
    virtual ~StatusBar() = default;
    // A new item, hidden, with the given length (nullopt: variable). The desktop keeps showing it
    // as long as the caller holds it. Main thread.
    virtual std::shared_ptr<StatusItem> statusItem(std::optional<double> length) = 0;
};

}  // namespace ampwell::platform
