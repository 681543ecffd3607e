#pragma once

#include <string>

namespace ampwell::platform {

class Canvas;

// An image that draws itself on demand at whatever scale the canvas has (the status icon; a
// desktop turns it into pixmaps or a PNG). Main thread only.
class Image {
public:
    virtual ~Image() = default;

    // Size in points.
    virtual double width() const = 0;
    virtual double height() const = 0;

    // Draws the image into `canvas`, whose origin is the image's bottom-left corner (unflipped
    // coordinates). Returns whether the drawing succeeded.
    virtual bool draw(Canvas& canvas) const = 0;

    // A short stable name for what the image shows (the indicator state's name for the status
    // icon), used by desktops that show text and to name icon files.
    virtual std::string name() const = 0;

    // A template image is only a shape that the desktop tints; a coloured image keeps its colours.
    virtual bool isTemplate() const = 0;

    // What the image shows, for screen readers; empty when it is decoration only.
    virtual std::string accessibilityDescription() const { return {}; }
};

}  // namespace ampwell::platform
