#pragma once

#include "canvas/CanvasDragState.h"
#include "canvas/CanvasPointerDrag.h"
#include "canvas/render/PageCanvasGeometry.h"
#include "canvas/render/ViewportNavigation.h"

#include <QPointer>
#include <QWidget>

namespace zelvane {

class AppModel;
class InlineTextEditorBar;
class VectorSceneRenderCache;
struct VectorPage;

// The single-page editing surface: the current page on its sheet, zoomed and
// panned as the application model says, with the status capsule at the
// bottom and, while a text element of the page is being edited, the inline
// editor bar at the top. Drags with the left button work the active tool. A plain scroll pans; Ctrl or Alt with the wheel, or a pinch,
// zooms. Scrolls are passed on while another display mode is shown or a
// sheet is open. With the keyboard, Page Up and Page Down turn one page,
// Home and End go to the first and last page. The editor bar takes the keys
// when it opens from outside the canvas, from the text tool or with a double
// click on its text (a plain click leaves them on the canvas), and gives
// them back when it closes; it is placed clear of the text it edits.
class SinglePageCanvas : public QWidget {
    Q_OBJECT

public:
    // Margin kept free around the fitted page, in points.
    static constexpr double kPagePad = 28;

    explicit SinglePageCanvas(AppModel& model, QWidget* parent = nullptr);
    SinglePageCanvas(AppModel& model, VectorSceneRenderCache& cache, QWidget* parent = nullptr);

    // The page-to-pane mapping of the current page as shown now.
    PageCanvasGeometry geometry() const;

    CanvasDragState& dragState() { return m_drag; }
    const CanvasDragState& dragState() const { return m_drag; }

    // Backdrops at a new zoom are normally rendered on a worker while the
    // previous raster stands in; a canvas that is not shown, or told to
    // wait, renders them before painting.
    void setWaitsForBackdrops(bool wait) { m_waitsForBackdrops = wait; }

    // Shown while the application model names a text element of this page.
    InlineTextEditorBar* editorBar() const { return m_editorBar; }

    // Where the status capsule is drawn, in the widget's coordinates.
    QRectF hudRect() const;
    QString hudPageText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    bool takesScrolls() const;
    void applyPlacement(const ViewportPlacement& placement);
    void paintHUD(QPainter& painter, const VectorPage& page) const;
    // Ends a drag in progress without placing anything.
    void abandonDrag();
    // Shows, fills or hides the editor bar from the model and the document.
    void syncEditorBar();
    void placeEditorBar();
    void press(QMouseEvent* event, bool doubleClick);
    // After the text tool's release: the editor bar takes the keys, the
    // cursor where the pointer hit its text, or the new block's text chosen.
    void giveKeysToEditorBar(const QPointF& pane);
    // The position in a text element's text nearest to a pane point.
    int textCursorAt(const VectorElement& element, const QPointF& pane);
    const VectorElement* editedElement() const;
    // Gives the bar the keys: the cursor at `cursor`, or the draft chosen.
    void focusEditorBar(std::optional<int> cursor);

    AppModel& m_model;
    VectorSceneRenderCache& m_cache;
    CanvasDragState m_drag;
    CanvasPointerDrag m_pointer{m_model, m_drag};
    InlineTextEditorBar* m_editorBar = nullptr;
    PinchZoom m_pinch;
    // While a press or release is handled: the text element under it.
    bool m_inPointerEvent = false;
    std::optional<QUuid> m_pointerTextID;
    bool m_barOpenedByPointer = false;
    // The element the bar was last opened for.
    std::optional<QUuid> m_barOpenedFor;
    // Where the keys were before the bar took them: they go back there.
    QPointer<QWidget> m_keysBeforeBar;
    bool m_waitsForBackdrops = false;
};

}  // namespace zelvane
