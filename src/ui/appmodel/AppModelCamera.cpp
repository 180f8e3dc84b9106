// The animated zoom and pan of the single-page canvas.

#include "appmodel/AppModel.h"

#include "VectorController.h"
#include "theme/Format.h"

#include <QEasingCurve>
#include <QVariantAnimation>

#include <algorithm>
#include <cmath>

namespace zelvane {

namespace {

constexpr double kZoomSnap = 0.002;
constexpr double kPanSnap = 0.5;
constexpr double kResetSeconds = 0.22;
constexpr double kFitSeconds = 0.24;
constexpr double kZoomStepSeconds = 0.16;

// The page's size when fitted into the pane at zoom 1, less the canvas's
// margin on every side, as the canvas draws it.
QSizeF fittedPageSize(const QSizeF& pane, double pageWidth, double pageHeight)
{
    const auto finite = [](double value) { return std::isfinite(value) ? value : 0.0; };
    const double availableWidth = std::max(finite(pane.width()) - 2 * AppModel::kCanvasPagePad, 16.0);
    const double availableHeight = std::max(finite(pane.height()) - 2 * AppModel::kCanvasPagePad, 16.0);
    const double aspect = std::max(finite(pageWidth), 1.0) / std::max(finite(pageHeight), 1.0);
    if (aspect >= availableWidth / availableHeight)
        return {availableWidth, availableWidth / aspect};
    return {availableHeight * aspect, availableHeight};
}

}  // namespace

void AppModel::stopCamera()
{
    if (m_camera)
        m_camera->stop();
}

bool AppModel::isCameraAnimating() const
{
    return m_camera && m_camera->state() == QAbstractAnimation::Running;
}

void AppModel::applyCameraProgress(double eased)
{
    setZoomScale(m_cameraStartZoom + (m_cameraTargetZoom - m_cameraStartZoom) * eased);
    setPanOffset(QSizeF(m_cameraStartPan.width() + (m_cameraTargetPan.width() - m_cameraStartPan.width()) * eased,
                        m_cameraStartPan.height() + (m_cameraTargetPan.height() - m_cameraStartPan.height()) * eased));
}

void AppModel::animateViewport(double zoom, const QSizeF& pan, double durationSeconds)
{
    // Stopped first, so the start is wherever the running move had got to.
    stopCamera();
    const double startZoom = m_zoomScale;
    const QSizeF startPan = m_panOffset;
    const double panDistance = std::hypot(startPan.width() - pan.width(), startPan.height() - pan.height());
    const int milliseconds =
        std::isfinite(durationSeconds) ? static_cast<int>(std::lround(std::max(durationSeconds, 0.0) * 1000)) : 0;
    if ((std::abs(startZoom - zoom) < kZoomSnap && panDistance < kPanSnap) || milliseconds <= 0) {
        setZoomScale(zoom);
        setPanOffset(pan);
        return;
    }
    m_cameraStartZoom = startZoom;
    m_cameraStartPan = startPan;
    m_cameraTargetZoom = zoom;
    m_cameraTargetPan = pan;
    if (!m_camera) {
        m_camera = new QVariantAnimation(this);
        m_camera->setStartValue(0.0);
        m_camera->setEndValue(1.0);
        m_camera->setEasingCurve(QEasingCurve::OutCubic);
        connect(m_camera, &QVariantAnimation::valueChanged, this, [this](const QVariant& value) {
            if (m_camera->state() == QAbstractAnimation::Running)
                applyCameraProgress(value.toDouble());
        });
        // The end lands exactly on the target.
        connect(m_camera, &QAbstractAnimation::finished, this, [this] {
            setZoomScale(m_cameraTargetZoom);
            setPanOffset(m_cameraTargetPan);
        });
    }
    m_camera->setDuration(milliseconds);
    m_camera->start();
}

void AppModel::resetView()
{
    animateViewport(1, QSizeF(0, 0), kResetSeconds);
    flash(L("Vue réinitialisée (100 %)", "View reset (100%)"));
}

void AppModel::zoomIn()
{
    animateViewport(std::clamp(m_zoomScale * 1.25, kMinZoom, kMaxZoom), m_panOffset, kZoomStepSeconds);
}

void AppModel::zoomOut()
{
    animateViewport(std::clamp(m_zoomScale * 0.8, kMinZoom, kMaxZoom), m_panOffset, kZoomStepSeconds);
}

void AppModel::setCanvasPaneSize(const QSizeF& size)
{
    m_canvasPaneSize = size;
}

void AppModel::fitSelectionOrPageAnimated()
{
    fitSelectionOrPageAnimated(m_canvasPaneSize);
}

void AppModel::fitSelectionOrPageAnimated(const QSizeF& pane)
{
    const VectorPage& page = m_controller->currentPage();
    const QSet<QUuid>& selection = m_controller->selection();
    const VectorElement* framed = nullptr;
    for (auto it = page.elements.crbegin(); it != page.elements.crend(); ++it) {
        if (selection.contains(it->id)) {
            framed = &*it;
            break;
        }
    }
    if (!framed) {
        animateViewport(1, QSizeF(0, 0), kResetSeconds);
        flash(L("Cadré sur la page entière", "Fitted full page"));
        return;
    }
    const VectorRect frame = framed->frame;
    const double pageWidth = std::max(page.width, 1.0);
    const double pageHeight = std::max(page.height, 1.0);
    const double fill =
        std::min(page.width / std::max(frame.width, 40.0), page.height / std::max(frame.height, 40.0)) * 0.45;
    const double zoom = std::clamp(std::isfinite(fill) ? fill : 0.0, 1.25, 2.6);
    const QSizeF fitted = fittedPageSize(pane, page.width, page.height);
    const auto finiteOrZero = [](double value) { return std::isfinite(value) ? value : 0.0; };
    const QSizeF pan(finiteOrZero(-((frame.x + frame.width / 2) / pageWidth - 0.5) * fitted.width() * zoom),
                     finiteOrZero(-((frame.y + frame.height / 2) / pageHeight - 0.5) * fitted.height() * zoom));
    animateViewport(zoom, pan, kFitSeconds);
    flash(L("Cadré sur la sélection (", "Framed selection (") + Format::percent(zoom) + QLatin1Char(')'));
}

}  // namespace zelvane
