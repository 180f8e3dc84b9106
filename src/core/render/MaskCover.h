#pragma once

#include <QRectF>
#include <QTransform>

namespace zelvane {

// `rect` (in the painter's coordinates) grown to the whole device pixels it
// touches under `toDevice`, so that a mask filled there leaves no partly
// covered row or column of the print showing at its edges. Unchanged when
// the transform turns by other than quarter turns or is not invertible.
QRectF coveringDevicePixels(const QRectF& rect, const QTransform& toDevice);

}  // namespace zelvane
