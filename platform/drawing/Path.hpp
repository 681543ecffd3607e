#pragma once

#include "platform/drawing/Geometry.hpp"

#include <vector>

namespace ampwell::platform {

// A toolkit-neutral outline: sub-paths of straight lines, cubic curves and circular arcs, in the
// coordinates of the canvas it is later filled or stroked on. A plain value; building one never
// fails.
class Path {
public:
    enum class Verb : unsigned char { moveTo, lineTo, curveTo, arc, close };
    struct Element {
        Verb verb;
        // moveTo/lineTo: points[0]. curveTo: two control points and the end point.
        // arc: points[0] is the centre; radius and the angles below are used.
        Point points[3];
        double radius = 0;
        // Radians, measured from the positive x axis towards the positive y axis of the
        // coordinate system the path is drawn in; the arc runs from startAngle to endAngle in the
        // direction of increasing angle (clockwise on screen in flipped coordinates).
        double startAngle = 0;
        double endAngle = 0;
    };

    Path& moveTo(Point point);
    Path& lineTo(Point point);
    Path& curveTo(Point control1, Point control2, Point end);
    // Joins the current point (if any) to the arc's start with a straight line, as arcs do in
    // cairo and PostScript.
    Path& arc(Point center, double radius, double startAngle, double endAngle);
    Path& close();

    // Closed shapes, each its own sub-path.
    static Path rect(const Rect& rect);
    // Corners are quarter ellipses with radii rx and ry, clamped to half the width and height.
    static Path roundedRect(const Rect& rect, double rx, double ry);
    static Path oval(const Rect& rect);
    // A closed polygon through `points` in order; fewer than three points give an empty path.
    static Path polygon(const std::vector<Point>& points);

    // Appends every sub-path of `other`.
    Path& append(const Path& other);

    const std::vector<Element>& elements() const { return elements_; }
    bool empty() const { return elements_.empty(); }

private:
    std::vector<Element> elements_;
};

}  // namespace ampwell::platform
