#include "ViewportNavigation.h"

#include <algorithm>
#include <cmath>

namespace zelvane {

namespace ViewportNavigation {

double clampedZoom(double zoom)
{
    if (std::isnan(zoom))
        return 1;
    return std::min(std::max(zoom, kMinZoom), kMaxZoom);
}

ViewportPlacement zoomedAbout(const ViewportPlacement& from, double newZoom, const QPointF& pointer,
                              const QSizeF& paneSize)
{
    const double zoom = clampedZoom(newZoom);
    const double ratio = zoom / std::max(from.zoom, 0.01);
    const double ax = pointer.x() - paneSize.width() / 2;
    const double ay = pointer.y() - paneSize.height() / 2;
    return {zoom, QSizeF(ax * (1 - ratio) + ratio * from.pan.width(), ay * (1 - ratio) + ratio * from.pan.height())};
}

ViewportPlacement scrolled(const ViewportPlacement& from, const QPoint& pixelDelta, const QPoint& angleDelta,
                           bool zoomModifier, const QPointF& pointer, const QSizeF& paneSize)
{
    const bool precise = !pixelDelta.isNull();
    const double mult = precise ? 1 : 10;
    const double dx = precise ? pixelDelta.x() : angleDelta.x() / 120.0;
    const double dy = precise ? pixelDelta.y() : angleDelta.y() / 120.0;
    if (zoomModifier) {
        const double delta = dy != 0 ? dy : dx;
        return zoomedAbout(from, from.zoom * std::exp(mult * delta * 0.005), pointer, paneSize);
    }
    return {from.zoom, QSizeF(from.pan.width() + mult * dx, from.pan.height() + mult * dy)};
}

}  // namespace ViewportNavigation

void PinchZoom::begin(double currentZoom)
{
    m_startZoom = currentZoom;
    m_magnification = 1;
}

double PinchZoom::step(double increment, double currentZoom)
{
    if (!m_startZoom)
        begin(currentZoom);
    if (std::isfinite(increment))
        m_magnification *= std::max(1 + increment, 0.0);
    return ViewportNavigation::clampedZoom(*m_startZoom * m_magnification);
}

void PinchZoom::end()
{
    m_startZoom.reset();
    m_magnification = 1;
}

}  // namespace zelvane
