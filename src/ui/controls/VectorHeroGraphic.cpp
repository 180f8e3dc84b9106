#include "controls/VectorHeroGraphic.h"

#include "theme/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace zelvane {

VectorHeroGraphic::VectorHeroGraphic(int size, bool active, QWidget* parent) : QWidget(parent), m_active(active)
{
    setFixedSize(size, size);
    setAttribute(Qt::WA_TranslucentBackground);
}

void VectorHeroGraphic::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    draw(painter, width(), height());
}

void VectorHeroGraphic::draw(QPainter& painter, double w, double h)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    auto stroke = [&painter](const QPainterPath& path, const QColor& color, double width) {
        QPen pen(color, width);
        pen.setJoinStyle(Qt::MiterJoin);
        painter.strokePath(path, pen);
    };
    auto sheet = [](const QRectF& rect) {
        QPainterPath path;
        path.addRoundedRect(rect, 5, 5);
        return path;
    };

    // Ring.
    QPainterPath ring;
    ring.addEllipse(QRectF(6, 6, w - 12, h - 12));
    stroke(ring, Theme::withOpacity(Theme::accent(), 0.22), 1.2);

    // Back and front sheets.
    const QPainterPath back = sheet(QRectF(0.28 * w, 0.16 * h, 0.50 * w, 0.62 * h));
    painter.fillPath(back, Theme::laneAlt());
    stroke(back, Theme::withOpacity(Theme::tcp(), 0.45), 1.1);
    const QRectF front(0.20 * w, 0.22 * h, 0.52 * w, 0.64 * h);
    const QPainterPath frontPath = sheet(front);
    painter.fillPath(frontPath, Theme::panel());
    stroke(frontPath, Theme::withOpacity(Theme::accent(), 0.75), 1.4);

    // Three text lines on the front sheet.
    const double fractions[] = {0.40, 0.32, 0.36};
    for (int i = 0; i < 3; ++i) {
        QPainterPath bar;
        bar.addRoundedRect(QRectF(front.left() + 8, front.top() + front.height() * 0.13 * (i + 1),
                                  fractions[i] * front.width(), 3),
                           1.5, 1.5);
        painter.fillPath(bar, i == 0 ? Theme::tcp() : Theme::withOpacity(Theme::textDim(), 0.65));
    }

    // The curve, its handles and its points.
    const QPointF p0(front.left() + 8, front.bottom() - 14);
    const QPointF c1(front.left() + 18, front.center().y() - 8);
    const QPointF c2(front.right() - 20, front.bottom() - 4);
    const QPointF p3(front.right() - 8, front.center().y() + 4);
    QPainterPath curve(p0);
    curve.cubicTo(c1, c2, p3);
    QPen curvePen(Theme::accent(), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin);
    curvePen.setMiterLimit(10);
    painter.strokePath(curve, curvePen);

    QPainterPath handles(p0);
    handles.lineTo(c1);
    handles.moveTo(p3);
    handles.lineTo(c2);
    QPen handlePen(Theme::withOpacity(Theme::alive(), 0.75), 1, Qt::SolidLine, Qt::FlatCap);
    handlePen.setDashPattern({2, 2});
    painter.strokePath(handles, handlePen);

    for (const QPointF& point : {p0, p3, c1, c2}) {
        QPainterPath disc;
        disc.addEllipse(QRectF(point.x() - 2.5, point.y() - 2.5, 5, 5));
        painter.fillPath(disc, Theme::alive());
    }
    painter.restore();
}

}  // namespace zelvane
