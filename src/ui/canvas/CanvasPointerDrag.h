#pragma once

#include "canvas/CanvasDragState.h"
#include "canvas/render/PageCanvasGeometry.h"
#include "model/VectorDocument.h"

#include <QPointF>
#include <functional>

namespace zelvane {

class AppModel;

// What a pointer drag on the single-page canvas does, tool by tool. A press
// is the drag's first change event (a click is a drag of length zero), each
// move with the button held another one, and the release commits: the
// select tool moves, resizes or rotates elements live inside one controller
// gesture (one undo step) or pans the view; the pen and signature tools
// collect ink and the shape tools a rubber band; every other placement is
// one controller edit. The drag belongs to the tool active at the press.
class CanvasPointerDrag {
public:
    // Pane points of reach around the rotation knob and the corner handles.
    static constexpr double kRotationHandleReach = 11;
    static constexpr double kCornerHandleReach = 9;

    CanvasPointerDrag(AppModel& model, CanvasDragState& state) : m_model(model), m_state(state) {}

    // `shift` is the Shift key as the event reports it.
    void press(const QPointF& pane, const PageCanvasGeometry& geom, bool shift);
    void move(const QPointF& pane, const PageCanvasGeometry& geom, bool shift);
    void release(const QPointF& pane, const PageCanvasGeometry& geom, bool shift);

    // Ends whatever drag is under way without placing anything (the tool
    // changed, the canvas lost the pointer or the focus, the document was
    // replaced): what a select drag changed so far stays as its one undo
    // step; ink and rubber bands are dropped.
    void abandon();
    // The controller cancelled a gesture: when it is this drag's, the
    // document is back where the drag found it and the drag stops writing.
    void gestureCancelled(quint64 gesture);
    // The drag itself is choosing the selection or the text being edited
    // (a change from anywhere else, like Escape dropping the selection,
    // ends a select drag).
    bool isSelecting() const { return m_selecting; }

private:
    void change(const QPointF& pane, const PageCanvasGeometry& geom, bool shift);
    void selectStart(const QPointF& pane, const VectorPoint& startPage, const PageCanvasGeometry& geom);
    void selectStep(const QPointF& pane, const VectorPoint& startPage, const VectorPoint& currentPage,
                    const PageCanvasGeometry& geom, bool shift);
    void place(const VectorPoint& startPage, const VectorPoint& endPage);
    // Begins the drag's gesture (its one undo step).
    void beginGesture();
    // Writes one step of the drag; false once the gesture is gone.
    bool write(const std::function<void(VectorDocument&)>& mutate);
    void clearSelectMarkers();

    AppModel& m_model;
    CanvasDragState& m_state;
    QPointF m_lastPane;
    bool m_selecting = false;
};

// The frame and the points of an arrow dragged from `from` to `to`: the
// frame is the box the drag spans, unturned, and the arrow runs from the
// corner where the drag started to the one where it ended. A drag shorter
// than 4 points (a click) gives a 36 × 24 arrow rising to the right in a
// frame whose top left is there; neither side is thinner than 1 point.
struct ArrowPlacement {
    VectorRect frame;
    QList<VectorPoint> points;
};
ArrowPlacement arrowFrame(const VectorPoint& from, const VectorPoint& to);

// A frame resized by dragging one corner handle (0 top left, 1 top right,
// 2 bottom right, 3 bottom left) by a page delta, the opposite corner kept
// in place, for an element turned by `rotationDegrees`. Proportional keeps
// the initial aspect ratio. Sizes stay finite, at least 14 × 12.
VectorRect resizedFrame(const VectorRect& initial, int handle, double dx, double dy, double rotationDegrees,
                        bool proportional);
// A rotation angle in degrees for a pointer at `pointer` about `centre` (0
// straight above), snapped to 15-degree steps with Shift, else to the
// nearest quarter turn within 2.2 degrees.
double snappedRotation(const QPointF& centre, const QPointF& pointer, bool shift);

}  // namespace zelvane
