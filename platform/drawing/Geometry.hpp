#pragma once

namespace ampwell::platform {

// Points and sizes in points (not pixels); the canvas's scale turns them into pixels.
struct Point {
    double x = 0;
    double y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// A rectangle by its origin corner and size. Which corner the origin is (top-left or bottom-left)
// depends on whether the coordinate system it is used in is flipped.
struct Rect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;

    constexpr double maxX() const { return x + width; }
    constexpr double maxY() const { return y + height; }
    constexpr Point center() const { return {x + width / 2, y + height / 2}; }
    friend bool operator==(const Rect&, const Rect&) = default;
};

}  // namespace ampwell::platform
