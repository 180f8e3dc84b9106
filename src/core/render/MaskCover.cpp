#include "render/MaskCover.h"

#include <cmath>

namespace zelvane {

QRectF coveringDevicePixels(const QRectF& rect, const QTransform& toDevice)
{
    const bool straight = (toDevice.m12() == 0 && toDevice.m21() == 0) || (toDevice.m11() == 0 && toDevice.m22() == 0);
    if (!straight || toDevice.type() == QTransform::TxProject || !toDevice.isInvertible()) {
        return rect;
    }
    const QRectF onDevice = toDevice.mapRect(rect);
    if (!std::isfinite(onDevice.left()) || !std::isfinite(onDevice.top()) || !std::isfinite(onDevice.right())
        || !std::isfinite(onDevice.bottom())) {
        return rect;
    }
    const QPointF topLeft(std::floor(onDevice.left()), std::floor(onDevice.top()));
    const QPointF bottomRight(std::ceil(onDevice.right()), std::ceil(onDevice.bottom()));
    return toDevice.inverted().mapRect(QRectF(topLeft, bottomRight));
}

}  // namespace zelvane
