#include "sample/SampleElements.h"

#include <QUuid>

namespace zelvane::sample {

VectorElement makeShape(const QString& name, VectorShapeType type, double cornerRadius, const VectorRect& frame,
                        const ShapeLook& look, bool endArrow)
{
    return VectorElement::make(name, ShapePayload::make(type, cornerRadius, false, endArrow), frame, 0,
                               VectorStyle(look.strokeColorHex, look.fillColorHex, look.strokeWidth, 1, look.dashed));
}

}  // namespace zelvane::sample
