#pragma once

#include "EnumCases.h"

#include <QString>
#include <array>

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

    // The initialiser: the radius is kept at least 0 (not a number gives 0)
    // and an arrow always has its end arrow.
    static ShapePayload make(VectorShapeType shapeType, double cornerRadius, bool startArrow, bool endArrow);

    bool operator==(const ShapePayload&) const = default;
};

}  // namespace zelvane
