#pragma once

#include "model/VectorGeometry.h"

#include <QList>

namespace zelvane {

// One polyline of a path, its points relative to the element frame.
struct VectorSubpath {
    QList<VectorPoint> points;
    bool isClosed = false;

    bool operator==(const VectorSubpath&) const = default;
};

struct PathPayload {
    QList<VectorSubpath> subpaths;
    bool startArrow = false;
    bool endArrow = false;
    // Set on paths drawn by the pen tool after smoothing the stroke.
    bool smoothCurves = false;

    bool operator==(const PathPayload&) const = default;
};

}  // namespace zelvane
