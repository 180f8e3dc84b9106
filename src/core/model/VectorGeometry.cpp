#include "model/VectorGeometry.h"

#include <cmath>

namespace zelvane {

double atLeast(double value, double floor)
{
    if (std::isnan(value)) {
        return floor;
    }
    return value < floor ? floor : value;
}

double VectorPoint::distance(const VectorPoint& to) const
{
    return std::hypot(to.x - x, to.y - y);
}

VectorPoint VectorPoint::interpolated(const VectorPoint& to, double t) const
{
    return {x + (to.x - x) * t, y + (to.y - y) * t};
}

VectorRect::VectorRect(double x_, double y_, double width_, double height_)
    : x(x_), y(y_), width(atLeast(width_, 1)), height(atLeast(height_, 1))
{
}

bool VectorRect::contains(const VectorPoint& p, double margin) const
{
    return x - margin <= p.x && p.x <= x + width + margin && y - margin <= p.y &&
           p.y <= y + height + margin;
}

bool VectorRect::intersects(const VectorRect& other) const
{
    return !(maxX() < other.x || other.maxX() < x || maxY() < other.y || other.maxY() < y);
}

VectorRect VectorRect::insetBy(double dx, double dy) const
{
    VectorRect r;
    r.x = x + dx;
    r.y = y + dy;
    r.width = atLeast(width - 2 * dx, 2);
    r.height = atLeast(height - 2 * dy, 2);
    return r;
}

VectorRect VectorRect::offsetBy(double dx, double dy) const
{
    return VectorRect(x + dx, y + dy, width, height);
}

VectorRect VectorRect::bounding(const QList<VectorPoint>& points, double minSize)
{
    if (points.isEmpty()) {
        return VectorRect(0, 0, minSize, minSize);
    }
    double minX = points.front().x, maxX = minX;
    double minY = points.front().y, maxY = minY;
    for (const VectorPoint& p : points) {
        minX = std::min(minX, p.x);
        maxX = std::max(maxX, p.x);
        minY = std::min(minY, p.y);
        maxY = std::max(maxY, p.y);
    }
    return VectorRect(minX, minY, atLeast(maxX - minX, minSize), atLeast(maxY - minY, minSize));
}

}  // namespace zelvane
