#pragma once

#include <QPoint>
#include <QPointF>
#include <QSizeF>
#include <optional>

namespace zelvane {

// The user's view of the page: the zoom factor (1 = page fitted) and the pan
// in pane points added after zooming.
struct ViewportPlacement {
    double zoom = 1;
    QSizeF pan;
    bool operator==(const ViewportPlacement&) const = default;
};

namespace ViewportNavigation {

inline constexpr double kMinZoom = 0.25;
inline constexpr double kMaxZoom = 6.0;

// Into 0.25...6 (a zoom that is not a number becomes 1).
double clampedZoom(double zoom);

// Zooms to `newZoom` (clamped) keeping the page point under `pointer` where
// it is; `pointer` and `paneSize` in pane points.
ViewportPlacement zoomedAbout(const ViewportPlacement& from, double newZoom, const QPointF& pointer,
                              const QSizeF& paneSize);

// One wheel or trackpad scroll. Precise deltas (pixels) count once, wheel
// steps (eighths of a degree, 120 a line) ten points a line. With the zoom
// modifier the vertical delta zooms about the pointer by exp(0.005) per
// point (the horizontal one when the vertical is 0, as X11 turns Alt+wheel
// sideways); otherwise both deltas pan.
ViewportPlacement scrolled(const ViewportPlacement& from, const QPoint& pixelDelta, const QPoint& angleDelta,
                           bool zoomModifier, const QPointF& pointer, const QSizeF& paneSize);

}  // namespace ViewportNavigation

// A pinch in progress: each step multiplies the magnification since the
// pinch began, and the zoom is the zoom at the start times it, clamped. The
// pan is not touched, so the page scales about the pane's centre.
class PinchZoom {
public:
    void begin(double currentZoom);
    // `increment` as the platform gives it (0.1 = 10 % larger); returns the
    // new zoom. A step without a begin starts the pinch from `currentZoom`.
    double step(double increment, double currentZoom);
    void end();
    bool active() const { return m_startZoom.has_value(); }

private:
    std::optional<double> m_startZoom;
    double m_magnification = 1;
};

}  // namespace zelvane
