#pragma once

#include "model/VectorGeometry.h"

#include <QPointF>
#include <QRectF>
#include <QSizeF>
#include <QTransform>

namespace zelvane {

// The mapping between page points (origin at the page's top left, y down)
// and pane points (the canvas widget's own coordinates). The page is fitted
// into the pane less `pad` on every side, scaled by `zoomScale` about the
// pane's centre, then moved by `panOffset`. Every member is computed on each
// call and allocates nothing. Sizes or a zoom that are not finite numbers are
// read as the nearest harmless value, so the results are always finite.
struct PageCanvasGeometry {
    QSizeF paneSize;
    double pageWidth = 0;
    double pageHeight = 0;
    double zoomScale = 1;
    QSizeF panOffset{0, 0};
    double pad = 0;

    // The page fitted into the pane before zoom and pan.
    QRectF baseSheetRect() const;
    // The page on the pane with zoom and pan.
    QRectF sheetRect() const;
    // Pane points per page point.
    double scale() const;
    QTransform pageToPaneTransform() const;
    // The page area shown in the pane, grown by 24 page points on every side.
    VectorRect visiblePageRect() const;
    VectorPoint paneToPage(const QPointF& point) const;
    QPointF pageToPane(const VectorPoint& point) const;
    // The pane rectangle of a page rectangle (unrotated).
    QRectF pageToPane(const VectorRect& rect) const;
};

}  // namespace zelvane
