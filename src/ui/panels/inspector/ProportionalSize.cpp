#include "panels/inspector/ProportionalSize.h"

#include <algorithm>
#include <cmath>

namespace zelvane {

VectorRect proportionalSizeFrame(const VectorRect& frame, double width)
{
    const double w = frame.width;
    const double h = frame.height;
    double ratio = h >= 1 ? w / h : w;
    if (!(ratio >= 0.05))
        ratio = 0.05;
    const double newWidth = std::max(width, 24.0);
    double newHeight = newWidth / ratio;
    if (!(newHeight >= 12))
        newHeight = 12;
    double x = (frame.x + w / 2) - newWidth / 2;
    double y = (frame.y + h / 2) - newHeight / 2;
    if (!std::isfinite(x))
        x = std::isfinite(frame.x) ? frame.x : 0;
    if (!std::isfinite(y))
        y = std::isfinite(frame.y) ? frame.y : 0;
    return VectorRect{x, y, std::max(newWidth, 1.0), std::max(newHeight, 1.0)};
}

}  // namespace zelvane
