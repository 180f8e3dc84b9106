#include "panels/sidebar/MiniPagePreview.h"

#include "model/RGBAColor.h"
#include "theme/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QTransform>
#include <algorithm>
#include <cmath>

namespace zelvane::MiniPagePreview {

namespace {

double usableSide(double side)
{
    return std::isfinite(side) ? std::max(side, 1.0) : 1.0;
}

BoxStyle styleOf(const VectorElement& element)
{
    switch (element.kind.index()) {
    case 0: return BoxStyle::text;
    case 1: return BoxStyle::signature;
    case 4: return BoxStyle::stamp;
    default: return BoxStyle::outline;
    }
}

QPainterPath roundedBox(const QRectF& rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

}  // namespace

QColor backgroundColor(const VectorPage& page)
{
    const std::optional<RGBAColor> color = RGBAColor::fromHex(page.backgroundColorHex);
    if (!color)
        return QColor(Qt::white);
    QColor opaque = color->toQColor();
    opaque.setAlphaF(1.0f);
    return opaque;
}

QList<Box> boxes(const VectorPage& page, const QSizeF& size)
{
    const double sx = size.width() / usableSide(page.width);
    const double sy = size.height() / usableSide(page.height);
    QList<Box> result;
    const qsizetype count = std::min<qsizetype>(page.elements.size(), kMaxElements);
    for (qsizetype i = 0; i < count; ++i) {
        const VectorElement& element = page.elements.at(i);
        if (!element.visible)
            continue;
        const VectorRect& frame = element.frame;
        if (!std::isfinite(frame.x) || !std::isfinite(frame.y) || !std::isfinite(frame.width)
            || !std::isfinite(frame.height))
            continue;
        QRectF onPage = frame.toQRectF();
        if (std::isfinite(element.rotationDegrees) && std::fmod(element.rotationDegrees, 360.0) != 0) {
            const QPointF c = onPage.center();
            onPage = QTransform()
                         .translate(c.x(), c.y())
                         .rotate(element.rotationDegrees)
                         .translate(-c.x(), -c.y())
                         .mapRect(onPage);
        }
        const QRectF rect(sx * onPage.x(), sy * onPage.y(), std::max(sx * onPage.width(), 2.0),
                          std::max(sy * onPage.height(), 1.5));
        result.append({rect, styleOf(element)});
    }
    return result;
}

QRectF sheetIn(const VectorPage& page, const QRectF& frame)
{
    const double scale = std::min(frame.width() / usableSide(page.width), frame.height() / usableSide(page.height));
    const QSizeF size(usableSide(page.width) * scale, usableSide(page.height) * scale);
    return QRectF(frame.center() - QPointF(size.width() / 2, size.height() / 2), size);
}

void paint(QPainter& painter, const QRectF& rect, const VectorPage& page)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(backgroundColor(page));
    painter.drawRoundedRect(rect, 3, 3);
    painter.translate(rect.topLeft());
    for (const Box& box : boxes(page, rect.size())) {
        switch (box.style) {
        case BoxStyle::text:
            painter.fillPath(roundedBox(box.rect, 0.8), QColor::fromRgbF(0, 0, 0, 0.32f));
            break;
        case BoxStyle::signature:
            painter.fillPath(roundedBox(box.rect, 1), Theme::withOpacity(Theme::accent(), 0.85));
            break;
        case BoxStyle::stamp:
            painter.strokePath(roundedBox(box.rect, 1), QPen(Theme::alive(), 1));
            break;
        case BoxStyle::outline:
            painter.setPen(QPen(Theme::withOpacity(Theme::standby(), 0.75), 0.8));
            painter.setBrush(Qt::NoBrush);
            painter.drawRect(box.rect);
            painter.setPen(Qt::NoPen);
            break;
        }
    }
    painter.restore();
}

}  // namespace zelvane::MiniPagePreview
