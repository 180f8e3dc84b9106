#pragma once

#include "EnumCases.h"
#include "model/VectorGeometry.h"

#include <QList>
#include <QPointF>
#include <QString>
#include <array>
#include <optional>
#include <utility>

namespace zelvane {

enum class VectorShapeType { rectangle, roundedRectangle, ellipse, line, arrow, diamond };

template <>
struct EnumCases<VectorShapeType> {
    static constexpr std::array all{VectorShapeType::rectangle, VectorShapeType::roundedRectangle,
                                    VectorShapeType::ellipse,   VectorShapeType::line,
                                    VectorShapeType::arrow,     VectorShapeType::diamond};
};

QString rawValue(VectorShapeType type);
QString label(VectorShapeType type);
QString symbol(VectorShapeType type);

struct ShapePayload {
    VectorShapeType shapeType = VectorShapeType::rectangle;
    double cornerRadius = 0;
    bool startArrow = false;
    bool endArrow = false;
    // Where a line or an arrow runs: its start and its end, each relative to
    // the frame (0, 0 its top left, 1, 1 its bottom right). Without them, or
    // with other than two finite points, it runs from the frame's bottom
    // left to its top right, as lines and arrows written before did.
    std::optional<QList<VectorPoint>> points;

    // The initialiser: the radius is kept at least 0 (not a number gives 0)
    // and an arrow always has its end arrow.
    static ShapePayload make(VectorShapeType shapeType, double cornerRadius, bool startArrow, bool endArrow);

    bool operator==(const ShapePayload&) const = default;
};

// The start and the end of a line or an arrow drawn in `frame` (page
// points, before the element's rotation).
std::pair<QPointF, QPointF> lineEnds(const ShapePayload& shape, const VectorRect& frame);

}  // namespace zelvane
