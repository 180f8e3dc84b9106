#include "sample/SampleElements.h"

#include <QUuid>

namespace zelvane::sample {

VectorElement makeShape(const QString& name, VectorShapeType type, double cornerRadius, const VectorRect& frame,
                        const ShapeLook& look, bool endArrow)
{
    VectorElement element;
    element.id = QUuid::createUuid();
    element.name = name;
    element.kind = ShapePayload::make(type, cornerRadius, false, endArrow);
    element.frame = frame;
    element.rotationDegrees = 0;
    element.style = VectorStyle(look.strokeColorHex, look.fillColorHex, look.strokeWidth, 1, look.dashed);
    element.visible = true;
    element.locked = false;
    return element;
}

}  // namespace zelvane::sample
