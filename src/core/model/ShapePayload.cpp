#include "model/ShapePayload.h"

#include "Localization.h"
#include "model/VectorGeometry.h"

#include <cmath>

namespace zelvane {

QString rawValue(VectorShapeType type)
{
    switch (type) {
    case VectorShapeType::rectangle: return QStringLiteral("rectangle");
    case VectorShapeType::roundedRectangle: return QStringLiteral("roundedRectangle");
    case VectorShapeType::ellipse: return QStringLiteral("ellipse");
    case VectorShapeType::line: return QStringLiteral("line");
    case VectorShapeType::arrow: return QStringLiteral("arrow");
    case VectorShapeType::diamond: return QStringLiteral("diamond");
    }
    return {};
}

QString label(VectorShapeType type)
{
    switch (type) {
    case VectorShapeType::rectangle: return L("Rectangle", "Rectangle");
    case VectorShapeType::roundedRectangle: return L("Cadre arrondi", "Rounded Box");
    case VectorShapeType::ellipse: return L("Cercle / Ellipse", "Circle / Ellipse");
    case VectorShapeType::line: return L("Ligne", "Line");
    case VectorShapeType::arrow: return L("Flèche", "Arrow");
    case VectorShapeType::diamond: return L("Losange", "Diamond");
    }
    return {};
}

QString symbol(VectorShapeType type)
{
    switch (type) {
    case VectorShapeType::rectangle: return QStringLiteral("rectangle");
    case VectorShapeType::roundedRectangle: return QStringLiteral("rectangle.roundedtop");
    case VectorShapeType::ellipse: return QStringLiteral("circle");
    case VectorShapeType::line: return QStringLiteral("line.diagonal");
    case VectorShapeType::arrow: return QStringLiteral("arrow.up.right");
    case VectorShapeType::diamond: return QStringLiteral("diamond");
    }
    return {};
}

ShapePayload ShapePayload::make(VectorShapeType shapeType, double cornerRadius, bool startArrow, bool endArrow)
{
    ShapePayload payload;
    payload.shapeType = shapeType;
    payload.cornerRadius = atLeast(cornerRadius, 0);
    payload.startArrow = startArrow;
    payload.endArrow = endArrow || shapeType == VectorShapeType::arrow;
    return payload;
}

std::pair<QPointF, QPointF> lineEnds(const ShapePayload& shape, const VectorRect& frame)
{
    const auto at = [&frame](const VectorPoint& p) {
        return QPointF(frame.x + frame.width * p.x, frame.y + frame.height * p.y);
    };
    if (shape.points && shape.points->size() == 2) {
        const VectorPoint& start = shape.points->front();
        const VectorPoint& end = shape.points->back();
        if (std::isfinite(start.x) && std::isfinite(start.y) && std::isfinite(end.x) && std::isfinite(end.y)) {
            return {at(start), at(end)};
        }
    }
    return {at({0, 1}), at({1, 0})};
}

}  // namespace zelvane
