#pragma once

#include "PageCanvasGeometry.h"
#include "VectorSceneRenderCache.h"
#include "model/VectorElement.h"

#include <QColor>
#include <QPainterPath>
#include <QTransform>
#include <optional>

class QPainter;

namespace zelvane {

// Draws one element onto the pane: its outline from the cache (fill, then a
// stroke never thinner than 0.8 pane points, dashes that follow the zoom),
// its arrow heads, then what its kind adds: text lines with their drawn
// accents, a signature's artwork or caption, a stamp's artwork or badge.
// Rotation and image opacity stay inside the call. Visibility and culling
// are the caller's business. `tx` is the geometry's page-to-pane transform.
// A changed PDF text line given the line its page printed
// (VectorSceneRenderCache::printedLine) is drawn as the export draws it: in
// page space through `tx`, its unchanged words at their printed places.
void drawElementInLayer(QPainter& painter, const VectorElement& element, const PageCanvasGeometry& geom,
                        const QTransform& tx, const CachedElementGeometry* cached,
                        VectorSceneRenderCache& cache = VectorSceneRenderCache::shared(),
                        const PDFCodec::PrintedLine* printed = nullptr);

// Consecutive elements that draw nothing but an opaque solid stroke of the
// same colour and width (paths and unfilled shapes, with their arrow heads
// in that colour) look the same stroked as one path, which is much cheaper.
class StrokeBatch {
public:
    // Adds the element when it can join the batch as it stands (the caller
    // draws the batch first when the pen differs); false when it cannot be
    // batched at all and must be drawn on its own.
    bool add(const VectorElement& element, const PageCanvasGeometry& geom, const QTransform& tx,
             const CachedElementGeometry* cached, QPainter& painter);
    // Strokes what was gathered and starts anew.
    void flush(QPainter& painter);

private:
    QRgb m_color = 0;
    double m_width = 0;
    QPainterPath m_outlines;
    QPainterPath m_heads;
    bool m_empty = true;
};

// A model colour text as drawn on the canvas: its red, green and blue with
// the element's opacity (the text's own alpha is not used).
std::optional<QColor> canvasColor(const std::optional<QString>& hex, double opacity);

}  // namespace zelvane
