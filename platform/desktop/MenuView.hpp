#pragma once

#include <nlohmann/json.hpp>

#include <functional>
#include <string>

namespace ampwell::platform {

class Canvas;

// A custom-drawn view that lives inside a menu item (the overview, a port card, the footnote).
// The controller owns it and changes its texts; the desktop shows it. Main thread only.
class MenuView {
public:
    virtual ~MenuView() = default;

    // Size in points; fixed for the life of the view.
    virtual double width() const = 0;
    virtual double height() const = 0;

    // Draws the view into `canvas`, whose origin is the view's top-left corner (flipped
    // coordinates). `windowVisible` says whether the window that shows the view is on screen now;
    // the view hands it to its render callback. Never fails.
    virtual void draw(Canvas& canvas, bool windowVisible) = 0;

    virtual std::string tooltip() const = 0;
    virtual std::string accessibilityLabel() const = 0;
    // The view is one accessibility element; its role, "staticText" unless a view says otherwise.
    virtual std::string accessibilityRole() const { return "staticText"; }

    // What the view shows, as plain values, for desktops that show text rather than pixels (the
    // headless desktop's event stream, a tray menu's text rows): an object with "kind" ("overview",
    // "card" or "footnote") and the view's display fields under their own names.
    virtual nlohmann::json describe() const = 0;

    // Set by the desktop that shows the view; the view calls it whenever its content changed and it
    // wants to be drawn again. May be empty.
    std::function<void()> onNeedsDisplay;
};

}  // namespace ampwell::platform
