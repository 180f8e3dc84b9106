#pragma once

#include "appmodel/EditorTool.h"
#include "model/VectorGeometry.h"

#include <QHash>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QUuid>
#include <optional>

namespace zelvane {

// The transient state of a pointer drag on the single-page canvas, written
// by the drag handlers and read by the scene drawing for the previews. At
// most one of the select tool's markers (moving frames, a resize handle,
// rotating, a pan) is set during a drag; all are cleared when it ends.
struct CanvasDragState {
    // A button is down on the canvas and the drag belongs to `tool`, the
    // tool active when it began (a tool chosen mid-drag ends the drag).
    bool active = false;
    EditorTool tool = EditorTool::select;
    // Where the drag began, in pane points.
    QPointF startPane;
    // The controller gesture holding the select drag's one undo step; 0 when
    // none was begun.
    quint64 gesture = 0;
    // The gesture was cancelled under the drag (another edit came first):
    // the rest of the drag changes nothing.
    bool halted = false;

    // Page points of the stroke being drawn with the pen or signature tool.
    QList<VectorPoint> activeFreehandPoints;
    // Where a rectangle, ellipse or arrow drag began, and the pointer now.
    std::optional<VectorPoint> shapeDragStartPage;
    std::optional<VectorPoint> shapeDragCurrentPage;
    // Frames of the elements being moved, when the move began.
    QHash<QUuid, VectorRect> movingElementInitialFrames;
    // 0 top left, 1 top right, 2 bottom right, 3 bottom left.
    std::optional<int> resizingHandleIndex;
    std::optional<VectorRect> resizingInitialFrame;
    bool isRotatingElement = false;
    // The pan when an empty-area drag began.
    std::optional<QSizeF> panDragInitialOffset;

    bool selectMarkersEmpty() const
    {
        return movingElementInitialFrames.isEmpty() && !resizingHandleIndex && !isRotatingElement
               && !panDragInitialOffset;
    }
    bool isEmpty() const
    {
        return !active && gesture == 0 && !halted && activeFreehandPoints.isEmpty() && !shapeDragStartPage
               && !shapeDragCurrentPage && selectMarkersEmpty() && !resizingInitialFrame;
    }
};

}  // namespace zelvane
