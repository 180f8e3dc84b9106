#pragma once

#include "canvas/CanvasDragState.h"
#include "canvas/render/PageCanvasGeometry.h"
#include "canvas/render/ViewportNavigation.h"

#include <QWidget>

namespace zelvane {

class AppModel;
class VectorSceneRenderCache;
struct VectorPage;

// The single-page editing surface: the current page on its sheet, zoomed and
// panned as the application model says, with the status capsule at the
// bottom. A plain scroll pans; Ctrl or Alt with the wheel, or a pinch,
// zooms. Scrolls are passed on while another display mode is shown or a
// sheet is open.
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

    // Where the status capsule is drawn, in the widget's coordinates.
    QRectF hudRect() const;
    QString hudPageText() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;

private:
    bool takesScrolls() const;
    void applyPlacement(const ViewportPlacement& placement);
    void paintHUD(QPainter& painter, const VectorPage& page) const;

    AppModel& m_model;
    VectorSceneRenderCache& m_cache;
    CanvasDragState m_drag;
    PinchZoom m_pinch;
    bool m_waitsForBackdrops = false;
};

}  // namespace zelvane
