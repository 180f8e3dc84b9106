#include "model/VectorStyle.h"

#include "model/VectorGeometry.h"

#include <cmath>

namespace zelvane {

VectorStyle::VectorStyle(std::optional<QString> stroke, std::optional<QString> fill, double width,
                         double opacity_, bool dashed_)
    : strokeColorHex(std::move(stroke)),
      fillColorHex(std::move(fill)),
      strokeWidth(atLeast(width, 0)),
      opacity(std::isnan(opacity_) ? 0.05 : std::min(atLeast(opacity_, 0.05), 1.0)),
      dashed(dashed_)
{
}

QString VectorStyle::inkColorHex()
{
    return QStringLiteral("#1E3A8A");
}

const VectorStyle& VectorStyle::defaultInk()
{
    static const VectorStyle style(inkColorHex(), std::nullopt, 2.0, 1.0, false);
    return style;
}

const VectorStyle& VectorStyle::defaultShape()
{
    static const VectorStyle style(QStringLiteral("#111317"), QStringLiteral("#FFB454"), 1.8, 1.0, false);
    return style;
}

const VectorStyle& VectorStyle::defaultText()
{
    static const VectorStyle style(std::nullopt, QStringLiteral("#111317"), 0, 1.0, false);
    return style;
}

}  // namespace zelvane
