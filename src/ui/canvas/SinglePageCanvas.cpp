#include "canvas/SinglePageCanvas.h"

#include "DocumentChange.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/InlineTextEditorBar.h"
#include "canvas/render/SceneDrawing.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "theme/Theme.h"

#include <QFocusEvent>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QApplication>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QWheelEvent>

namespace zelvane {

namespace {

constexpr double kHUDSpacing = 10;
constexpr double kHUDPadX = 12;
constexpr double kHUDPadY = 5;
constexpr double kHUDBottom = 10;
constexpr double kHUDDividerHeight = 11;

QFont hudPageFont() { return Theme::font(10.5, QFont::Medium); }
QFont hudHelpFont() { return Theme::font(10.5); }

}  // namespace

SinglePageCanvas::SinglePageCanvas(AppModel& model, QWidget* parent)
    : SinglePageCanvas(model, VectorSceneRenderCache::shared(), parent)
{
}

SinglePageCanvas::SinglePageCanvas(AppModel& model, VectorSceneRenderCache& cache, QWidget* parent)
    : QWidget(parent), m_model(model), m_cache(cache)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_AcceptTouchEvents);
    setMouseTracking(true);
    setFocusPolicy(Qt::ClickFocus);
    m_editorBar = new InlineTextEditorBar(m_model, this);
    m_editorBar->hide();
    auto repaint = [this] { update(); };
    for (auto signal : {&AppModel::zoomScaleChanged, &AppModel::panOffsetChanged, &AppModel::displayModeChanged,
                        &AppModel::showPDFTextBoxesChanged, &AppModel::languageChanged})
        connect(&m_model, signal, this, repaint);
    // A tool chosen mid-drag (its key, Escape) ends the drag of the old one.
    connect(&m_model, &AppModel::activeToolChanged, this, [this] {
        abandonDrag();
        update();
    });
    connect(&m_model, &AppModel::editingTextElementIDChanged, this, [this] {
        syncEditorBar();
        update();
    });
    connect(&m_model, &AppModel::languageChanged, this, &SinglePageCanvas::placeEditorBar);
    VectorController& controller = m_model.controller();
    connect(&controller, &VectorController::documentChanged, this, [this](const DocumentChange& change) {
        if (change.pageListChanged) {
            // Another document may bring fonts of its own, and the pages a
            // drag was working on may be gone. What was made for a document
            // that is no longer open is let go.
            m_cache.forgetFonts();
            m_cache.releaseOtherDocuments(m_model.controller().document().pages);
            abandonDrag();
        }
        syncEditorBar();
        // Edits of other pages leave this one as it is drawn.
        if (change.pageListChanged || change.pageChanged(m_model.controller().currentPage().id))
            update();
    });
    connect(&controller, &VectorController::gestureCancelled, this, [this](quint64 gesture) {
        m_pointer.gestureCancelled(gesture);
        update();
    });
    connect(&controller, &VectorController::currentPageIndexChanged, this, [this] {
        syncEditorBar();
        update();
    });
    connect(&controller, &VectorController::selectionChanged, this, [this] {
        // Escape, the layer list or a remote command chose another
        // selection: the select drag working on the old one ends.
        if (m_drag.active && m_drag.tool == EditorTool::select && !m_pointer.isSelecting())
            abandonDrag();
        update();
    });
    connect(&m_cache, &VectorSceneRenderCache::backdropReady, this, repaint);
}

PageCanvasGeometry SinglePageCanvas::geometry() const
{
    const VectorPage& page = m_model.controller().currentPage();
    return {QSizeF(size()), page.width, page.height, m_model.zoomScale(), m_model.panOffset(), kPagePad};
}

void SinglePageCanvas::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::background());
    if (width() <= 0 || height() <= 0)
        return;
    const VectorController& controller = m_model.controller();
    const qsizetype index = controller.hasValidCurrentPage() ? controller.currentPageIndex() : 0;
    const VectorPage& page = controller.currentPage();
    const PageCanvasGeometry geom = geometry();

    const ElementGeometries& outlines = m_cache.geometries(page, controller.pageRevision(index));
    const auto backdrop = m_cache.backdropImages(
        page, geom.scale() * devicePixelRatioF(), geom.visiblePageRect().toQRectF(),
        // A canvas rendered without being shown (a snapshot) has no later
        // frame to show a sharper raster in.
        m_waitsForBackdrops || !isVisible() ? VectorSceneRenderCache::BackdropWait::exact
                                            : VectorSceneRenderCache::BackdropWait::allowStale);

    SceneOverlay overlay;
    overlay.selection = controller.selection();
    overlay.showPDFTextBoxes = m_model.showPDFTextBoxes();
    overlay.textToolActive = m_model.activeTool() == EditorTool::text;
    overlay.signatureToolActive = m_model.activeTool() == EditorTool::signature;
    overlay.freehandPoints = m_drag.activeFreehandPoints;
    overlay.shapeDragStart = m_drag.shapeDragStartPage;
    overlay.shapeDragCurrent = m_drag.shapeDragCurrentPage;
    overlay.isRotatingElement = m_drag.isRotatingElement;
    // What a running drag changes is drawn anew at each frame; the rest of
    // the sheet is kept.
    if (m_drag.gesture != 0) {
        for (auto it = m_drag.movingElementInitialFrames.cbegin(); it != m_drag.movingElementInitialFrames.cend(); ++it)
            overlay.liveElements.insert(it.key());
        if (m_drag.isRotatingElement || m_drag.resizingHandleIndex) {
            if (const auto primary = controller.primarySelectedElement())
                overlay.liveElements.insert(primary->id);
        }
    }
    // On screen, a page of very many elements is drawn over several frames.
    overlay.progressive = !m_waitsForBackdrops && isVisible();
    drawSinglePageScene(painter, page, geom, outlines, backdrop, overlay, m_cache);
    if (m_cache.hasUnfinishedSheet())
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);

    paintHUD(painter, page);
}

QString SinglePageCanvas::hudPageText() const
{
    const VectorPage& page = m_model.controller().currentPage();
    return page.title + QStringLiteral(" \u00B7 ") + page.dimensionsLabel();
}

QRectF SinglePageCanvas::hudRect() const
{
    const QFontMetricsF pageMetrics(hudPageFont());
    const QFontMetricsF helpMetrics(hudHelpFont());
    const double contentWidth = pageMetrics.horizontalAdvance(hudPageText()) + kHUDSpacing + 1 + kHUDSpacing
                                + helpMetrics.horizontalAdvance(helpText(m_model.activeTool()));
    const double contentHeight = std::max({pageMetrics.height(), helpMetrics.height(), kHUDDividerHeight});
    const QSizeF capsule(contentWidth + 2 * kHUDPadX, contentHeight + 2 * kHUDPadY);
    return {(width() - capsule.width()) / 2, height() - kHUDBottom - capsule.height(), capsule.width(),
            capsule.height()};
}

void SinglePageCanvas::paintHUD(QPainter& painter, const VectorPage&) const
{
    const QRectF capsule = hudRect();
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(capsule.adjusted(0.5, 0.5, -0.5, -0.5), capsule.height() / 2, capsule.height() / 2);
    painter.fillPath(shape, Theme::withOpacity(Theme::panel(), 0.92));
    painter.strokePath(shape, QPen(Theme::white(0.1), 1));

    const QString pageText = hudPageText();
    const QFontMetricsF pageMetrics(hudPageFont());
    const QRectF content = capsule.adjusted(kHUDPadX, kHUDPadY, -kHUDPadX, -kHUDPadY);
    double x = content.left();
    painter.setFont(hudPageFont());
    painter.setPen(Theme::textDim());
    const double pageWidth = pageMetrics.horizontalAdvance(pageText);
    painter.drawText(QRectF(x, content.top(), pageWidth + 1, content.height()), Qt::AlignVCenter | Qt::AlignLeft,
                     pageText);
    x += pageWidth + kHUDSpacing;
    const double mid = content.center().y();
    painter.fillRect(QRectF(x, mid - kHUDDividerHeight / 2, 1, kHUDDividerHeight), Theme::white(0.18));
    x += 1 + kHUDSpacing;
    painter.setFont(hudHelpFont());
    painter.setPen(Theme::accent());
    painter.drawText(QRectF(x, content.top(), content.right() - x + 1, content.height()),
                     Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine, helpText(m_model.activeTool()));
    painter.restore();
}

void SinglePageCanvas::abandonDrag()
{
    if (!m_drag.isEmpty()) {
        m_pointer.abandon();
        update();
    }
}

void SinglePageCanvas::syncEditorBar()
{
    const std::optional<QUuid>& id = m_model.editingTextElementID();
    const TextPayload* payload = nullptr;
    if (id) {
        for (const VectorElement& element : m_model.controller().currentPage().elements) {
            if (element.id == *id) {
                payload = element.text();
                break;
            }
        }
    }
    if (!payload) {
        m_editorBar->hide();
        return;
    }
    m_editorBar->setElement(*id, *payload);
    placeEditorBar();
    m_editorBar->show();
}

void SinglePageCanvas::placeEditorBar()
{
    m_editorBar->adjustSize();
    const QSize size = m_editorBar->sizeHint().boundedTo(QSize(std::max(width(), 1), m_editorBar->sizeHint().height()));
    // 10 points below the top edge; the widget's margin holds the shadow.
    m_editorBar->setGeometry((width() - size.width()) / 2, 10 - 8, size.width(), size.height());
}

void SinglePageCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The camera frames selections against the size shown.
    m_model.setCanvasPaneSize(QSizeF(size()));
    placeEditorBar();
}

void SinglePageCanvas::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pointer.press(event->position(), geometry(), event->modifiers() & Qt::ShiftModifier);
    update();
    event->accept();
}

void SinglePageCanvas::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton) || !m_drag.active) {
        // A move without the button means its release went elsewhere.
        if (m_drag.active)
            abandonDrag();
        event->ignore();
        return;
    }
    m_pointer.move(event->position(), geometry(), event->modifiers() & Qt::ShiftModifier);
    update();
    event->accept();
}

void SinglePageCanvas::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    m_pointer.release(event->position(), geometry(), event->modifiers() & Qt::ShiftModifier);
    update();
    event->accept();
}

void SinglePageCanvas::focusOutEvent(QFocusEvent* event)
{
    // The pointer's release may never come back here (another window took
    // it); the editor bar's own field taking the focus is no such loss.
    if (!isAncestorOf(QApplication::focusWidget()))
        abandonDrag();
    QWidget::focusOutEvent(event);
}

void SinglePageCanvas::hideEvent(QHideEvent* event)
{
    abandonDrag();
    QWidget::hideEvent(event);
}

bool SinglePageCanvas::takesScrolls() const
{
    return m_model.displayMode() == CanvasDisplayMode::singlePage && !m_model.hasOpenSheet();
}

void SinglePageCanvas::applyPlacement(const ViewportPlacement& placement)
{
    // The zoom first, then the pan, as the geometry expects them together.
    m_model.setZoomScale(placement.zoom);
    m_model.setPanOffset(placement.pan);
}

void SinglePageCanvas::wheelEvent(QWheelEvent* event)
{
    if (!takesScrolls()) {
        event->ignore();
        return;
    }
    const bool zoomModifier = event->modifiers() & (Qt::ControlModifier | Qt::AltModifier);
    applyPlacement(ViewportNavigation::scrolled({m_model.zoomScale(), m_model.panOffset()}, event->pixelDelta(),
                                                event->angleDelta(), zoomModifier, event->position(),
                                                QSizeF(size())));
    event->accept();
}

bool SinglePageCanvas::event(QEvent* event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto* gesture = static_cast<QNativeGestureEvent*>(event);
        switch (gesture->gestureType()) {
        case Qt::BeginNativeGesture:
            m_pinch.begin(m_model.zoomScale());
            return true;
        case Qt::ZoomNativeGesture:
            if (!takesScrolls())
                break;
            m_model.setZoomScale(m_pinch.step(gesture->value(), m_model.zoomScale()));
            return true;
        case Qt::EndNativeGesture:
            m_pinch.end();
            return true;
        default:
            break;
        }
    }
    return QWidget::event(event);
}

}  // namespace zelvane
