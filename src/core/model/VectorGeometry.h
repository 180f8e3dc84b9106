#pragma once

#include <QList>
#include <QPointF>
#include <QRectF>

namespace zelvane {

// A point in page space: points, origin at the page's top-left corner, y down.
struct VectorPoint {
    double x = 0;
    double y = 0;

    static constexpr VectorPoint zero() { return {0, 0}; }

    // Euclidean distance, computed with hypot so large coordinates do not overflow.
    double distance(const VectorPoint& to) const;
    // Linear interpolation; t is not limited to 0...1.
    VectorPoint interpolated(const VectorPoint& to, double t) const;
    QPointF toQPointF() const { return {x, y}; }

    bool operator==(const VectorPoint&) const = default;
};

// An axis-aligned rectangle in page space. The constructor keeps each side at
// least 1; assigning the fields directly or decoding does not.
struct VectorRect {
    double x = 0;
    double y = 0;
    double width = 1;
    double height = 1;

    VectorRect() = default;
    VectorRect(double x, double y, double width, double height);

    double minX() const { return x; }
    double minY() const { return y; }
    double maxX() const { return x + width; }
    double maxY() const { return y + height; }
    double midX() const { return x + width * 0.5; }
    double midY() const { return y + height * 0.5; }
    VectorPoint center() const { return {midX(), midY()}; }
    QRectF toQRectF() const { return {x, y, width, height}; }

    // Inclusive on all four edges, widened by margin on every side.
    bool contains(const VectorPoint& p, double margin = 0) const;
    // Rectangles that only touch along an edge or at a corner intersect.
    bool intersects(const VectorRect& other) const;
    // Sides never fall below 2; negative insets grow the rectangle.
    VectorRect insetBy(double dx, double dy) const;
    VectorRect offsetBy(double dx, double dy) const;

    // Smallest rectangle holding every point, each side at least minSize,
    // growing right and down from the minimum corner.
    static VectorRect bounding(const QList<VectorPoint>& points, double minSize);

    bool operator==(const VectorRect&) const = default;
};

// max(value, floor) where a value that is not a number gives floor.
double atLeast(double value, double floor);

}  // namespace zelvane
