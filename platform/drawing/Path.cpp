#include "platform/drawing/Path.hpp"

#include <algorithm>
#include <numbers>

namespace ampwell::platform {
namespace {

// Control-point distance for a quarter ellipse drawn as one cubic curve.
constexpr double kKappa = 0.5522847498307936;

}  // namespace

Path& Path::moveTo(Point point) {
    elements_.push_back({Verb::moveTo, {point, {}, {}}});
    return *this;
}

Path& Path::lineTo(Point point) {
    elements_.push_back({Verb::lineTo, {point, {}, {}}});
    return *this;
}

Path& Path::curveTo(Point control1, Point control2, Point end) {
    elements_.push_back({Verb::curveTo, {control1, control2, end}});
    return *this;
}

Path& Path::arc(Point center, double radius, double startAngle, double endAngle) {
    Element element{Verb::arc, {center, {}, {}}};
    element.radius = radius;
    element.startAngle = startAngle;
    element.endAngle = endAngle;
    elements_.push_back(element);
    return *this;
}

Path& Path::close() {
    elements_.push_back({Verb::close, {}});
    return *this;
}

Path Path::rect(const Rect& r) {
    Path path;
    if (r.width <= 0 || r.height <= 0) return path;
    path.moveTo({r.x, r.y}).lineTo({r.maxX(), r.y}).lineTo({r.maxX(), r.maxY()}).lineTo({r.x, r.maxY()});
    return path.close();
}

Path Path::roundedRect(const Rect& r, double rx, double ry) {
    if (r.width <= 0 || r.height <= 0) return {};
    rx = std::clamp(rx, 0.0, r.width / 2);
    ry = std::clamp(ry, 0.0, r.height / 2);
    if (rx == 0 || ry == 0) return rect(r);
    const double kx = rx * kKappa;
    const double ky = ry * kKappa;
    const double left = r.x;
    const double top = r.y;
    const double right = r.maxX();
    const double bottom = r.maxY();
    Path path;
    path.moveTo({left + rx, top}).lineTo({right - rx, top});
    path.curveTo({right - rx + kx, top}, {right, top + ry - ky}, {right, top + ry});
    path.lineTo({right, bottom - ry});
    path.curveTo({right, bottom - ry + ky}, {right - rx + kx, bottom}, {right - rx, bottom});
    path.lineTo({left + rx, bottom});
    path.curveTo({left + rx - kx, bottom}, {left, bottom - ry + ky}, {left, bottom - ry});
    path.lineTo({left, top + ry});
    path.curveTo({left, top + ry - ky}, {left + rx - kx, top}, {left + rx, top});
    return path.close();
}

Path Path::oval(const Rect& r) {
    if (r.width <= 0 || r.height <= 0) return {};
    const double rx = r.width / 2;
    const double ry = r.height / 2;
    const double kx = rx * kKappa;
    const double ky = ry * kKappa;
    const Point c = r.center();
    Path path;
    path.moveTo({c.x + rx, c.y});
    path.curveTo({c.x + rx, c.y + ky}, {c.x + kx, c.y + ry}, {c.x, c.y + ry});
    path.curveTo({c.x - kx, c.y + ry}, {c.x - rx, c.y + ky}, {c.x - rx, c.y});
    path.curveTo({c.x - rx, c.y - ky}, {c.x - kx, c.y - ry}, {c.x, c.y - ry});
    path.curveTo({c.x + kx, c.y - ry}, {c.x + rx, c.y - ky}, {c.x + rx, c.y});
    return path.close();
}

Path Path::polygon(const std::vector<Point>& points) {
    Path path;
    if (points.size() < 3) return path;
    path.moveTo(points.front());
    for (auto it = std::next(points.begin()); it != points.end(); ++it) path.lineTo(*it);
    return path.close();
}

Path& Path::append(const Path& other) {
    elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
    return *this;
}

}  // namespace ampwell::platform
