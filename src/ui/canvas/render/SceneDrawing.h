#pragma once

#include "PageCanvasGeometry.h"
#include "VectorSceneRenderCache.h"
#include "model/VectorPage.h"

#include <QList>
#include <QPointF>
#include <QRectF>
#include <QSet>
#include <QUuid>
#include <optional>

class QPainter;

namespace zelvane {

// What the single-page scene shows besides the page: the selection, the
// PDF text boxes and the previews of a drag in progress.
struct SceneOverlay {
    QSet<QUuid> selection;
    bool showPDFTextBoxes = false;
    bool textToolActive = false;
    // The freehand preview takes the ink colour of signatures.
    bool signatureToolActive = false;
    // Page points of the stroke being drawn.
    QList<VectorPoint> freehandPoints;
    std::optional<VectorPoint> shapeDragStart;
    std::optional<VectorPoint> shapeDragCurrent;
    bool isRotatingElement = false;
    // Elements changing at every frame (a drag): the rest of the sheet is
    // kept in layers under and over them and only they are drawn anew.
    QSet<QUuid> liveElements;
    // A sheet of very many elements may be drawn over several frames, a
    // slice of elements at a time, so that no frame holds the window long:
    // the layer then reports itself unfinished (SheetLayer::unfinished) and
    // the caller asks for another frame. Off, the sheet is drawn whole.
    bool progressive = false;
};

// One frame of the single-page canvas: the sheet with its shadow, the PDF
// backdrop, the masks over changed PDF text, the PDF text boxes, the visible
// elements in the visible area, the drag previews, the sheet's outline and
// the selection frames with their handles.
void drawSinglePageScene(QPainter& painter, const VectorPage& page, const PageCanvasGeometry& geom,
                         const ElementGeometries& cachedGeometries, const QList<BackdropTile>& backdrop,
                         const SceneOverlay& overlay, VectorSceneRenderCache& cache = VectorSceneRenderCache::shared());

// The rotation knob of a selection frame (22 points above its top edge),
// turned with the element.
QPointF rotationHandlePoint(const QRectF& paneRect, double rotationDegrees);
// Top left, top right, bottom right, bottom left, turned with the element.
QList<QPointF> rotatedCornerHandles(const QRectF& paneRect, double rotationDegrees);

// The page area an element covers once turned about its centre; nothing
// when its frame is not made of finite numbers.
std::optional<VectorRect> rotatedBounds(const VectorRect& frame, double rotationDegrees);

}  // namespace zelvane
