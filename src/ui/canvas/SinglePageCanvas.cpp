#include "canvas/SinglePageCanvas.h"

#include "DocumentChange.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/render/SceneDrawing.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "theme/Theme.h"

#include <QFontMetricsF>
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
    auto repaint = [this] { update(); };
    for (auto signal : {&AppModel::zoomScaleChanged, &AppModel::panOffsetChanged, &AppModel::activeToolChanged,
                        &AppModel::displayModeChanged, &AppModel::showPDFTextBoxesChanged,
                        &AppModel::editingTextElementIDChanged, &AppModel::languageChanged})
        connect(&m_model, signal, this, repaint);
    VectorController& controller = m_model.controller();
    connect(&controller, &VectorController::documentChanged, this, [this](const DocumentChange& change) {
        // Another document may bring fonts of its own.
        if (change.pageListChanged)
            m_cache.forgetFonts();
        update();
    });
    connect(&controller, &VectorController::currentPageIndexChanged, this, repaint);
    connect(&controller, &VectorController::selectionChanged, this, repaint);
    connect(&m_cache, &VectorSceneRenderCache::backdropReady, this, repaint);
}

void SinglePageCanvas::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // The camera frames selections against the size shown.
    m_model.setCanvasPaneSize(QSizeF(size()));
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
    drawSinglePageScene(painter, page, geom, outlines, backdrop, overlay, m_cache);

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
