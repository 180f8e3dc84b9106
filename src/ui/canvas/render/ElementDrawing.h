#pragma once

#include "PageCanvasGeometry.h"
#include "VectorSceneRenderCache.h"
#include "model/VectorElement.h"

#include <QColor>
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
void drawElementInLayer(QPainter& painter, const VectorElement& element, const PageCanvasGeometry& geom,
                        const QTransform& tx, const CachedElementGeometry* cached,
                        VectorSceneRenderCache& cache = VectorSceneRenderCache::shared());

// A model colour text as drawn on the canvas: its red, green and blue with
// the element's opacity (the text's own alpha is not used).
std::optional<QColor> canvasColor(const std::optional<QString>& hex, double opacity);

}  // namespace zelvane
