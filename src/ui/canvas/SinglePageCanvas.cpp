#include "canvas/SinglePageCanvas.h"

#include "DocumentChange.h"
#include "Localization.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/CanvasHitTest.h"
#include "canvas/InlineTextEditorBar.h"
#include "canvas/render/SceneDrawing.h"
#include "canvas/render/VectorSceneRenderCache.h"
#include "controls/RunKeys.h"
#include "theme/Theme.h"

#include <QApplication>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScopedValueRollback>
#include <QWheelEvent>
#include <algorithm>
#include <utility>

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
    // Tab reaches it; a press gives it the keys itself, unless the press
    // gives them to the editor bar.
    setFocusPolicy(Qt::TabFocus);
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
    // The bar keeps clear of its text at every zoom and pan.
    const auto replaceBar = [this] {
        if (m_editorBar->isVisible())
            placeEditorBar();
    };
    connect(&m_model, &AppModel::zoomScaleChanged, this, replaceBar);
    connect(&m_model, &AppModel::panOffsetChanged, this, replaceBar);
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
    // Said after the frame that drew it, not from within its painting.
    connect(
        &m_cache, &VectorSceneRenderCache::backdropCutShort, this,
        [this] {
            m_model.controller().setStatusMessage(
                L("Le dessin de la page prenait trop de temps et a été arrêté : elle est montrée telle qu'elle "
                  "était dessinée jusque-là.",
                  "Drawing the page took too long and was stopped: it is shown as far as it was drawn."));
        },
        Qt::QueuedConnection);
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

const VectorElement* SinglePageCanvas::editedElement() const
{
    const std::optional<QUuid>& id = m_model.editingTextElementID();
    if (!id)
        return nullptr;
    for (const VectorElement& element : m_model.controller().currentPage().elements) {
        if (element.id == *id)
            return element.text() ? &element : nullptr;
    }
    return nullptr;
}

void SinglePageCanvas::syncEditorBar()
{
    const VectorElement* element = editedElement();
    if (!element) {
        // The keys come back here rather than moving on to whichever field
        // follows the bar.
        if (m_editorBar->isVisible() && m_editorBar->isAncestorOf(QApplication::focusWidget())) {
            QWidget* back = m_keysBeforeBar.data();
            if (!back || !back->isVisible() || !back->isEnabled() || back->window() != window())
                back = this;
            back->setFocus(Qt::OtherFocusReason);
        }
        m_editorBar->hide();
        if (!m_model.editingTextElementID())
            m_barOpenedFor.reset();
        return;
    }
    const QUuid id = element->id;
    m_editorBar->setElement(id, *element->text());
    placeEditorBar();
    m_editorBar->show();
    if (m_barOpenedFor != id) {
        m_barOpenedFor = id;
        // Opened by the pointer: the pointer's handler places the cursor.
        if (m_inPointerEvent)
            m_barOpenedByPointer = true;
        else if (isVisible())
            focusEditorBar(std::nullopt);
    }
}

void SinglePageCanvas::focusEditorBar(std::optional<int> cursor)
{
    QWidget* before = QApplication::focusWidget();
    if (before && !m_editorBar->isAncestorOf(before))
        m_keysBeforeBar = before;
    m_editorBar->focusField(cursor);
}

void SinglePageCanvas::placeEditorBar()
{
    m_editorBar->adjustSize();
    const QSize size = m_editorBar->sizeHint().boundedTo(QSize(std::max(width(), 1), m_editorBar->sizeHint().height()));
    const int x = (width() - size.width()) / 2;
    // The widget's margins hold the shadow: the bar itself is inset.
    const QMargins shadow(12, 8, 12, 16);
    const auto barAt = [&](int y) { return QRect(QPoint(x, y), size).marginsRemoved(shadow); };
    // 10 points below the top edge, unless that covers the edited text or
    // its rotation knob: then below it, or above it, whichever covers least.
    QList<int> candidates{10 - shadow.top()};
    QRectF text;
    if (const VectorElement* element = editedElement()) {
        const PageCanvasGeometry geom = geometry();
        const double degrees = std::isfinite(element->rotationDegrees) ? element->rotationDegrees : 0;
        if (const std::optional<VectorRect> turned = rotatedBounds(element->frame, degrees))
            text = geom.pageToPane(*turned).adjusted(-4, -4, 4, 4);
        // The selection's rotation knob stays in reach too.
        const QPointF knob = rotationHandlePoint(geom.pageToPane(element->frame), degrees);
        text = text.united(QRectF(knob - QPointF(9, 9), QSizeF(18, 18)));
        candidates.append(int(std::ceil(text.bottom())) + 6 - shadow.top());
        candidates.append(int(std::floor(text.top())) - 6 - (size.height() - shadow.bottom()));
    }
    int best = candidates.first();
    double bestCover = -1;
    for (int y : candidates) {
        const QRect bar = barAt(y);
        // Wholly inside the canvas, or not a choice (the first always is).
        if (y != candidates.first() && (bar.top() < 0 || bar.bottom() > height()))
            continue;
        const QRectF cover = text.isValid() ? QRectF(bar).intersected(text) : QRectF();
        const double area = cover.isValid() ? cover.width() * cover.height() : 0;
        if (bestCover < 0 || area < bestCover) {
            best = y;
            bestCover = area;
        }
        if (area == 0)
            break;
    }
    m_editorBar->setGeometry(x, best, size.width(), size.height());
}

int SinglePageCanvas::textCursorAt(const VectorElement& element, const QPointF& pane)
{
    const TextPayload* payload = element.text();
    if (!payload)
        return 0;
    // Into the element's own frame, in page units.
    const VectorPoint unturned = inOwnFrame(geometry().paneToPage(pane), element);
    const VectorRect& frame = element.frame;
    const QPointF local(unturned.x - frame.x, unturned.y - frame.y);

    const PaneTextBlock& block = m_cache.textLayouts().block(*payload, 1.0);
    const QStringList lines = payload->text.split(QLatin1Char('\n'));
    if (block.lines.empty() || lines.isEmpty())
        return int(payload->text.size());
    const double fontSize = std::isfinite(payload->fontSize) && payload->fontSize > 0 ? payload->fontSize : 5.0;
    const int lineIndex =
        std::clamp(int(std::floor(local.y() / (1.25 * fontSize))), 0, int(std::min<size_t>(block.lines.size(), lines.size())) - 1);
    const PaneTextLine& line = block.lines[size_t(lineIndex)].text;
    double start = 0;
    if (payload->alignment == TextAlignmentMode::center)
        start = frame.width / 2 - line.width() / 2;
    else if (payload->alignment == TextAlignmentMode::right)
        start = frame.width - line.width();
    const int length = int(lines[lineIndex].size());
    int inLine = line.cursorAt(local.x() - start);
    // The drawn text may spell accents apart: counted in proportion.
    if (line.textLength() != length && line.textLength() > 0)
        inLine = int(std::lround(double(inLine) * length / line.textLength()));
    int position = std::clamp(inLine, 0, length);
    for (int i = 0; i < lineIndex; ++i)
        position += int(lines[i].size()) + 1;
    return position;
}

void SinglePageCanvas::giveKeysToEditorBar(const QPointF& pane)
{
    const bool opened = std::exchange(m_barOpenedByPointer, false);
    const VectorElement* element = editedElement();
    if (!element || !m_editorBar->isVisible())
        return;
    if (m_pointerTextID == element->id)
        focusEditorBar(textCursorAt(*element, pane));
    else if (opened)
        focusEditorBar(std::nullopt);
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
    press(event, false);
}

void SinglePageCanvas::mouseDoubleClickEvent(QMouseEvent* event)
{
    press(event, true);
}

void SinglePageCanvas::press(QMouseEvent* event, bool doubleClick)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    const bool barHadKeys = m_editorBar->isVisible() && m_editorBar->isAncestorOf(QApplication::focusWidget());
    const bool selectTool = m_model.activeTool() == EditorTool::select;
    {
        const auto hit = hitTestElement(geometry().paneToPage(event->position()),
                                        m_model.controller().currentPage().elements, true);
        m_pointerTextID = hit ? std::optional<QUuid>(hit->id) : std::nullopt;
        const QScopedValueRollback inPointer(m_inPointerEvent, true);
        m_pointer.press(event->position(), geometry(), event->modifiers() & Qt::ShiftModifier);
    }
    // A click opens a text in the bar but leaves the keys here (Delete
    // still acts on the chosen line); a double click on it, or a click on
    // it while typing there, gives the bar the keys with the cursor there.
    m_barOpenedByPointer = false;
    const VectorElement* edited = m_editorBar->isVisible() ? editedElement() : nullptr;
    if (selectTool && edited && m_pointerTextID == edited->id && (doubleClick || barHadKeys))
        focusEditorBar(textCursorAt(*edited, event->position()));
    else
        setFocus(Qt::MouseFocusReason);
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
    const bool textTool = m_drag.active && m_drag.tool == EditorTool::text;
    {
        const QScopedValueRollback inPointer(m_inPointerEvent, true);
        m_pointer.release(event->position(), geometry(), event->modifiers() & Qt::ShiftModifier);
    }
    // The text tool opens the bar on release, with the keys. A block it
    // has just added (none was under the press) is opened with its text
    // chosen.
    if (textTool)
        giveKeysToEditorBar(event->position());
    m_barOpenedByPointer = false;
    update();
    event->accept();
}

void SinglePageCanvas::keyPressEvent(QKeyEvent* event)
{
    VectorController& controller = m_model.controller();
    const int count = int(controller.document().pages.size());
    const int current = int(controller.currentPageIndex());
    std::optional<int> target;
    if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
        target = runKeyTarget(event->key(), current, count);
    if (!target || m_model.openingFileName()) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (*target >= 0 && *target < count && *target != current)
        controller.setCurrentPageIndex(*target);
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
