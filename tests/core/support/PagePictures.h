#pragma once

// A page as the export renderer draws it and how strongly two pictures of a
// page differ, for the tests that compare edited PDF text with the print.

#include "model/VectorPage.h"
#include "render/PageRenderer.h"

#include <QImage>
#include <QPainter>
#include <QRectF>
#include <cstdlib>

namespace zelvane::testing {

// The page drawn by the export renderer at `scale` pixels per point.
inline QImage exportedPicture(const VectorPage& page, double scale)
{
    QImage image(QSize(qRound(page.width * scale), qRound(page.height * scale)), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.scale(scale, scale);
    PDFCodec::renderPage(page, painter);
    return image;
}

// The share of the pixels of `area` (page points, pictures at `scale`
// pixels per point) that differ by more than half the grey range.
inline double strongShare(const QImage& a, const QImage& b, const QRectF& area, double scale)
{
    const QRect pixels(QPoint(int(area.left() * scale), int(area.top() * scale)),
                       QPoint(int(area.right() * scale), int(area.bottom() * scale)));
    int strong = 0;
    for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
        for (int x = pixels.left(); x <= pixels.right(); ++x) {
            if (std::abs(qGray(a.pixel(x, y)) - qGray(b.pixel(x, y))) > 127)
                ++strong;
        }
    }
    return double(strong) / double(pixels.width() * pixels.height());
}

}  // namespace zelvane::testing
