#include "model/ShapePayload.h"

#include "Localization.h"
#include "model/VectorGeometry.h"

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

}  // namespace zelvane
