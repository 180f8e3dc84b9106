#include "PageCanvasGeometry.h"

#include <algorithm>
#include <cmath>

namespace zelvane {

namespace {

// A finite value, or `fallback` for NaN and the infinities.
double finiteOr(double value, double fallback)
{
    return std::isfinite(value) ? value : fallback;
}

// Page sides below 1 (or not numbers) count as 1; huge ones stay huge but
// finite.
double pageSide(double side)
{
    return std::max(finiteOr(side, 1.0), 1.0);
}

}  // namespace

QRectF PageCanvasGeometry::baseSheetRect() const
{
    const double paneW = finiteOr(paneSize.width(), 0);
    const double paneH = finiteOr(paneSize.height(), 0);
    const double inset = 2 * finiteOr(pad, 0);
    const double availW = std::max(paneW - inset, 16.0);
    const double availH = std::max(paneH - inset, 16.0);
    const double pageAspect = pageSide(pageWidth) / pageSide(pageHeight);
    const double availAspect = availW / availH;
    double width = 0;
    double height = 0;
    if (pageAspect >= availAspect) {
        width = availW;
        height = availW / pageAspect;
    } else {
        height = availH;
        width = availH * pageAspect;
    }
    return {(paneW - width) * 0.5, (paneH - height) * 0.5, width, height};
}

QRectF PageCanvasGeometry::sheetRect() const
{
    const QRectF base = baseSheetRect();
    const double zoom = finiteOr(zoomScale, 1);
    const double cx = finiteOr(paneSize.width(), 0) * 0.5;
    const double cy = finiteOr(paneSize.height(), 0) * 0.5;
    return {cx + (base.x() - cx) * zoom + finiteOr(panOffset.width(), 0),
            cy + (base.y() - cy) * zoom + finiteOr(panOffset.height(), 0), base.width() * zoom,
            base.height() * zoom};
}

double PageCanvasGeometry::scale() const
{
    return sheetRect().width() / pageSide(pageWidth);
}

QTransform PageCanvasGeometry::pageToPaneTransform() const
{
    const QRectF sheet = sheetRect();
    const double s = sheet.width() / pageSide(pageWidth);
    return QTransform(s, 0, 0, s, sheet.x(), sheet.y());
}

VectorRect PageCanvasGeometry::visiblePageRect() const
{
    const VectorPoint p0 = paneToPage(QPointF(0, 0));
    const VectorPoint p1 = paneToPage(QPointF(finiteOr(paneSize.width(), 0), finiteOr(paneSize.height(), 0)));
    const double minX = std::min(p0.x, p1.x) - 24;
    const double minY = std::min(p0.y, p1.y) - 24;
    const double maxX = std::max(p0.x, p1.x) + 24;
    const double maxY = std::max(p0.y, p1.y) + 24;
    VectorRect rect;
    rect.x = minX;
    rect.y = minY;
    rect.width = std::max(maxX - minX, 1.0);
    rect.height = std::max(maxY - minY, 1.0);
    return rect;
}

VectorPoint PageCanvasGeometry::paneToPage(const QPointF& point) const
{
    const QRectF sheet = sheetRect();
    const double s = std::max(sheet.width() / pageSide(pageWidth), 0.0001);
    return {(point.x() - sheet.x()) / s, (point.y() - sheet.y()) / s};
}

QPointF PageCanvasGeometry::pageToPane(const VectorPoint& point) const
{
    const QRectF sheet = sheetRect();
    const double s = sheet.width() / pageSide(pageWidth);
    return {sheet.x() + s * point.x, sheet.y() + s * point.y};
}

QRectF PageCanvasGeometry::pageToPane(const VectorRect& rect) const
{
    return QRectF(pageToPane(VectorPoint{rect.minX(), rect.minY()}),
                  pageToPane(VectorPoint{rect.maxX(), rect.maxY()}));
}

}  // namespace zelvane
