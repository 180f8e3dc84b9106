#include "canvas/CanvasPointerDrag.h"

#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/CanvasHitTest.h"
#include "canvas/render/SceneDrawing.h"
#include "operations/ElementFrames.h"
#include "operations/StrokeSmoother.h"
#include "operations/VectorOperations.h"

#include <QLineF>
#include <QScopeGuard>
#include <cmath>

namespace zelvane {

namespace {

double finiteOr(double value, double fallback) { return std::isfinite(value) ? value : fallback; }

double radians(double degrees) { return degrees * M_PI / 180; }

std::optional<VectorShapeType> shapeTypeFor(EditorTool tool)
{
    switch (tool) {
    case EditorTool::rectangle:
        return VectorShapeType::roundedRectangle;
    case EditorTool::ellipse:
        return VectorShapeType::ellipse;
    case EditorTool::arrow:
        return VectorShapeType::arrow;
    default:
        return std::nullopt;
    }
}

bool proportionalKind(const VectorElement& element)
{
    return std::holds_alternative<SignaturePayload>(element.kind) || std::holds_alternative<StampPayload>(element.kind);
}

}  // namespace

ArrowPlacement arrowFrame(const VectorPoint& from, const VectorPoint& to)
{
    const double dx = finiteOr(to.x - from.x, 0);
    const double dy = finiteOr(to.y - from.y, 0);
    if (std::hypot(dx, dy) < 4)
        return {VectorRect(std::min(from.x, to.x), std::min(from.y, to.y), 36, 24), {{0, 1}, {1, 0}}};
    const double width = std::max(std::abs(dx), 1.0);
    const double height = std::max(std::abs(dy), 1.0);
    const double cx = std::min(from.x, to.x) + std::abs(dx) / 2;
    const double cy = std::min(from.y, to.y) + std::abs(dy) / 2;
    const VectorRect box(cx - width / 2, cy - height / 2, width, height);
    // Where the drag started and ended, in the box: at two opposite corners,
    // or halfway across a side stretched to 1 point.
    const auto inBox = [&box](double x, double y) {
        return VectorPoint{(x - box.x) / box.width, (y - box.y) / box.height};
    };
    return {box, {inBox(cx - dx / 2, cy - dy / 2), inBox(cx + dx / 2, cy + dy / 2)}};
}

VectorRect resizedFrame(const VectorRect& initial, int handle, double dx, double dy, double rotationDegrees,
                        bool proportional)
{
    const double x = finiteOr(initial.x, 0);
    const double y = finiteOr(initial.y, 0);
    const double w = finiteOr(initial.width, 0);
    const double h = finiteOr(initial.height, 0);
    const double r = radians(finiteOr(rotationDegrees, 0));
    dx = finiteOr(dx, 0);
    dy = finiteOr(dy, 0);
    // The delta in the element's own (unturned) frame.
    const double lx = dx * std::cos(-r) - dy * std::sin(-r);
    const double ly = dx * std::sin(-r) + dy * std::cos(-r);
    double width = 0;
    double height = 0;
    switch (handle) {
    case 0: width = w - lx; height = h - ly; break;
    case 1: width = w + lx; height = h - ly; break;
    case 2: width = w + lx; height = h + ly; break;
    default: width = w - lx; height = h + ly; break;
    }
    width = std::max(width, 14.0);
    height = std::max(height, 12.0);
    if (proportional) {
        const double aspect = std::max(w / std::max(h, 1.0), 0.05);
        const double sx = width / std::max(w, 1.0);
        const double sy = height / std::max(h, 1.0);
        const double s = std::max(std::abs(sy - 1) > std::abs(sx - 1) ? sy : sx, 0.12);
        width = std::max(w * s, 16.0);
        height = std::max(width / aspect, 12.0);
    }
    double ox = 0;
    double oy = 0;
    switch (handle) {
    case 0: ox = (w - width) / 2; oy = (h - height) / 2; break;
    case 1: ox = (width - w) / 2; oy = (h - height) / 2; break;
    case 2: ox = (width - w) / 2; oy = (height - h) / 2; break;
    default: ox = (w - width) / 2; oy = (height - h) / 2; break;
    }
    const double cx = x + w / 2 + ox * std::cos(r) - oy * std::sin(r);
    const double cy = y + h / 2 + ox * std::sin(r) + oy * std::cos(r);
    VectorRect frame;
    frame.x = cx - width / 2;
    frame.y = cy - height / 2;
    frame.width = std::max(width, 1.0);
    frame.height = std::max(height, 1.0);
    return frame;
}

double snappedRotation(const QPointF& centre, const QPointF& pointer, bool shift)
{
    double angle = std::atan2(pointer.y() - centre.y(), pointer.x() - centre.x()) * 180 / M_PI + 90;
    if (!std::isfinite(angle))
        return 0;
    while (angle > 180)
        angle -= 360;
    while (angle < -180)
        angle += 360;
    if (shift)
        return std::round(angle / 15) * 15;
    for (const double quarter : {-180.0, -90.0, 0.0, 90.0, 180.0}) {
        if (std::abs(angle - quarter) < 2.2)
            return quarter;
    }
    return angle;
}

void CanvasPointerDrag::press(const QPointF& pane, const PageCanvasGeometry& geom, bool shift)
{
    // A drag whose end never came (the pointer was grabbed elsewhere) is
    // over: nothing of it may leak into this one.
    if (!m_state.isEmpty())
        abandon();
    VectorController& controller = m_model.controller();
    // The canvas shows the first page when the index is out of range; the
    // drag edits the page it shows.
    if (!controller.hasValidCurrentPage())
        controller.setCurrentPageIndex(0);
    m_state.active = true;
    m_state.tool = m_model.activeTool();
    m_state.startPane = pane;
    m_lastPane = pane;
    change(pane, geom, shift);
}

void CanvasPointerDrag::move(const QPointF& pane, const PageCanvasGeometry& geom, bool shift)
{
    if (!m_state.active)
        return;
    m_lastPane = pane;
    change(pane, geom, shift);
}

void CanvasPointerDrag::release(const QPointF& pane, const PageCanvasGeometry& geom, bool shift)
{
    if (!m_state.active)
        return;
    if (pane != m_lastPane)
        change(pane, geom, shift);
    const VectorPoint startPage = geom.paneToPage(m_state.startPane);
    const VectorPoint endPage = geom.paneToPage(pane);
    if (m_state.tool == EditorTool::select) {
        if (m_state.gesture != 0)
            m_model.controller().commitGesture(m_state.gesture);
        m_state = CanvasDragState{};
        return;
    }
    const EditorTool tool = m_state.tool;
    const QList<VectorPoint> ink = m_state.activeFreehandPoints;
    // The state goes first: the placement may change the tool, which ends
    // any drag.
    m_state = CanvasDragState{};
    m_state.tool = tool;
    m_state.activeFreehandPoints = ink;
    place(startPage, endPage);
    m_state = CanvasDragState{};
}

void CanvasPointerDrag::abandon()
{
    if (m_state.gesture != 0)
        m_model.controller().commitGesture(m_state.gesture);
    m_state = CanvasDragState{};
}

void CanvasPointerDrag::gestureCancelled(quint64 gesture)
{
    if (gesture == 0 || gesture != m_state.gesture)
        return;
    m_state.gesture = 0;
    m_state.halted = true;
    clearSelectMarkers();
}

void CanvasPointerDrag::clearSelectMarkers()
{
    m_state.movingElementInitialFrames.clear();
    m_state.resizingHandleIndex.reset();
    m_state.resizingInitialFrame.reset();
    m_state.isRotatingElement = false;
    m_state.panDragInitialOffset.reset();
}

void CanvasPointerDrag::change(const QPointF& pane, const PageCanvasGeometry& geom, bool shift)
{
    const VectorPoint startPage = geom.paneToPage(m_state.startPane);
    const VectorPoint currentPage = geom.paneToPage(pane);
    switch (m_state.tool) {
    case EditorTool::pen:
    case EditorTool::signature:
        if (m_state.activeFreehandPoints.isEmpty())
            m_state.activeFreehandPoints.append(startPage);
        else
            m_state.activeFreehandPoints.append(currentPage);
        break;
    case EditorTool::rectangle:
    case EditorTool::ellipse:
    case EditorTool::arrow:
        if (!m_state.shapeDragStartPage)
            m_state.shapeDragStartPage = startPage;
        m_state.shapeDragCurrentPage = currentPage;
        break;
    case EditorTool::text:
    case EditorTool::stamp:
        break;
    case EditorTool::select:
        if (m_state.halted)
            break;
        if (m_state.selectMarkersEmpty())
            selectStart(pane, startPage, geom);
        selectStep(pane, startPage, currentPage, geom, shift);
        break;
    }
}

void CanvasPointerDrag::beginGesture()
{
    if (m_state.gesture == 0)
        m_state.gesture = m_model.controller().beginGesture();
}

bool CanvasPointerDrag::write(const std::function<void(VectorDocument&)>& mutate)
{
    if (m_state.gesture == 0 || !m_model.controller().updateGesture(m_state.gesture, mutate)) {
        m_state.gesture = 0;
        m_state.halted = true;
        clearSelectMarkers();
        return false;
    }
    return true;
}

void CanvasPointerDrag::selectStart(const QPointF&, const VectorPoint& startPage, const PageCanvasGeometry& geom)
{
    m_selecting = true;
    const auto done = qScopeGuard([this] { m_selecting = false; });
    VectorController& controller = m_model.controller();
    const auto primary = controller.primarySelectedElement();
    // A hidden element shows no frame, so it has no handles either.
    if (primary && !primary->locked && primary->visible) {
        const QRectF rect = geom.pageToPane(primary->frame);
        const double degrees = finiteOr(primary->rotationDegrees, 0);
        const QPointF start = m_state.startPane;
        if (QLineF(start, rotationHandlePoint(rect, degrees)).length() <= kRotationHandleReach) {
            m_state.isRotatingElement = true;
            beginGesture();
            return;
        }
        const QList<QPointF> corners = rotatedCornerHandles(rect, degrees);
        for (int i = 0; i < corners.size(); ++i) {
            if (QLineF(start, corners[i]).length() <= kCornerHandleReach) {
                m_state.resizingHandleIndex = i;
                m_state.resizingInitialFrame = primary->frame;
                beginGesture();
                return;
            }
        }
    }
    const auto hit = hitTestElement(startPage, controller.currentPage().elements, false);
    if (!hit) {
        controller.setSelection({});
        m_model.setEditingTextElementID(std::nullopt);
        m_state.panDragInitialOffset = m_model.panOffset();
        return;
    }
    if (!controller.selection().contains(hit->id))
        controller.setSelection({hit->id});
    m_model.setEditingTextElementID(hit->text() ? std::optional<QUuid>(hit->id) : std::nullopt);
    for (const VectorElement& element : controller.selectedElements()) {
        if (!element.locked)
            m_state.movingElementInitialFrames.insert(element.id, element.frame);
    }
    if (!m_state.movingElementInitialFrames.isEmpty())
        beginGesture();
}

void CanvasPointerDrag::selectStep(const QPointF& pane, const VectorPoint& startPage, const VectorPoint& currentPage,
                                   const PageCanvasGeometry& geom, bool shift)
{
    VectorController& controller = m_model.controller();
    const qsizetype pageIndex = controller.currentPageIndex();
    if (m_state.isRotatingElement) {
        const auto primary = controller.primarySelectedElement();
        if (!primary)
            return;
        const QRectF rect = geom.pageToPane(primary->frame);
        const double angle = snappedRotation(rect.center(), pane, shift);
        const QUuid id = primary->id;
        write([&](VectorDocument& document) {
            VectorOperations::updateElement(id, pageIndex, document,
                                            [angle](VectorElement& e) { e.rotationDegrees = angle; });
        });
        return;
    }
    if (m_state.resizingHandleIndex && m_state.resizingInitialFrame) {
        const auto primary = controller.primarySelectedElement();
        if (!primary)
            return;
        const bool proportional = proportionalKind(*primary) || shift;
        const VectorRect frame =
            resizedFrame(*m_state.resizingInitialFrame, *m_state.resizingHandleIndex, currentPage.x - startPage.x,
                         currentPage.y - startPage.y, primary->rotationDegrees, proportional);
        const QUuid id = primary->id;
        write([&](VectorDocument& document) {
            VectorOperations::updateElement(id, pageIndex, document, [&frame](VectorElement& e) { e.frame = frame; });
        });
        return;
    }
    if (!m_state.movingElementInitialFrames.isEmpty()) {
        const double dx = currentPage.x - startPage.x;
        const double dy = currentPage.y - startPage.y;
        // A click does not nudge the selection.
        if (!(std::hypot(dx, dy) > 1.2))
            return;
        QHash<QUuid, VectorRect> frames;
        frames.reserve(m_state.movingElementInitialFrames.size());
        for (auto it = m_state.movingElementInitialFrames.cbegin(); it != m_state.movingElementInitialFrames.cend();
             ++it)
            frames.insert(it.key(), VectorRect(it->x + dx, it->y + dy, std::max(it->width, 1.0),
                                               std::max(it->height, 1.0)));
        // One store of the document per pointer move, however many move.
        write([&](VectorDocument& document) { VectorOperations::setElementFrames(frames, pageIndex, document); });
        return;
    }
    if (m_state.panDragInitialOffset) {
        const QPointF translation = pane - m_state.startPane;
        if (std::hypot(translation.x(), translation.y()) > 2)
            m_model.setPanOffset(*m_state.panDragInitialOffset + QSizeF(translation.x(), translation.y()));
    }
}

void CanvasPointerDrag::place(const VectorPoint& startPage, const VectorPoint& endPage)
{
    m_selecting = true;
    const auto done = qScopeGuard([this] { m_selecting = false; });
    VectorController& controller = m_model.controller();
    switch (m_state.tool) {
    case EditorTool::select:
        break;
    case EditorTool::text: {
        const auto hit = hitTestElement(endPage, controller.currentPage().elements, true);
        if (hit) {
            controller.setSelection({hit->id});
            m_model.setEditingTextElementID(hit->id);
        } else {
            controller.addTextBlock(L("Texte éditable", "Editable text"), endPage);
            if (!controller.selection().isEmpty())
                m_model.setEditingTextElementID(*controller.selection().cbegin());
        }
        m_model.setActiveTool(EditorTool::select);
        break;
    }
    case EditorTool::arrow: {
        const auto [frame, points] = arrowFrame(startPage, endPage);
        controller.addShape(VectorShapeType::arrow, frame, points);
        m_model.setActiveTool(EditorTool::select);
        break;
    }
    case EditorTool::rectangle:
    case EditorTool::ellipse: {
        VectorRect frame;
        frame.x = std::min(startPage.x, endPage.x);
        frame.y = std::min(startPage.y, endPage.y);
        frame.width = std::max(std::abs(endPage.x - startPage.x), 36.0);
        frame.height = std::max(std::abs(endPage.y - startPage.y), 24.0);
        controller.addShape(*shapeTypeFor(m_state.tool), frame);
        m_model.setActiveTool(EditorTool::select);
        break;
    }
    case EditorTool::pen: {
        const QList<VectorPoint> points = m_state.activeFreehandPoints;
        if (points.size() < 2)
            break;
        const auto normalized = StrokeSmoother::normalizeStrokes({StrokeSmoother::smooth(points, 2)});
        VectorSubpath subpath;
        subpath.points = normalized.strokes.value(0);
        const VectorElement element = VectorElement::make(
            L("Tracé libre", "Freehand Path"), PathPayload{{subpath}, false, false, true}, normalized.frame, 0,
            VectorStyle(QStringLiteral("#111317"), std::nullopt, 2, 1, false));
        const qsizetype pageIndex = controller.currentPageIndex();
        controller.perform(L("Tracé vectoriel ajouté", "Vector path added"), [&](VectorDocument& document) {
            VectorOperations::addElement(element, pageIndex, document);
        });
        controller.setSelection({element.id});
        break;
    }
    case EditorTool::signature: {
        const QList<VectorPoint> points = m_state.activeFreehandPoints;
        if (points.size() >= 4 && startPage.distance(endPage) > 8) {
            const SignaturePreset preset = controller.activeSignaturePreset();
            const VectorElement element =
                VectorOperations::makeFreehandSignatureElement({points}, preset.signerName, preset.colorHex);
            const qsizetype pageIndex = controller.currentPageIndex();
            controller.perform(L("Signature manuscrite tracée", "Handwritten signature drawn"),
                               [&](VectorDocument& document) {
                                   VectorOperations::addElement(element, pageIndex, document);
                               });
            controller.setSelection({element.id});
        } else {
            controller.stampActiveSignature(endPage);
        }
        m_model.setActiveTool(EditorTool::select);
        break;
    }
    case EditorTool::stamp:
        controller.stampApprovalBadge(std::nullopt, endPage);
        m_model.setActiveTool(EditorTool::select);
        break;
    }
}

}  // namespace zelvane
