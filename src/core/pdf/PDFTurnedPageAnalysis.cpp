#include "pdf/PDFPageBitmapAnalyzer.h"

#include <QTransform>

namespace zelvane {

PDFPageBitmapAnalyzer PDFPageBitmapAnalyzer::turnedUnder(int lineAngle) const
{
    const int w = m_pageSize.width();
    const int h = m_pageSize.height();
    const QRect drawn(m_origin, m_image.size());
    // Where the drawn pixels land once the page turns the other way.
    QPoint origin;
    QSize pageSize(h, w);
    switch (lineAngle) {
    case 90: origin = QPoint(drawn.top(), w - drawn.left() - drawn.width()); break;
    case 270: origin = QPoint(h - drawn.top() - drawn.height(), drawn.left()); break;
    case 180:
        origin = QPoint(w - drawn.left() - drawn.width(), h - drawn.top() - drawn.height());
        pageSize = m_pageSize;
        break;
    default: return *this;
    }
    // Quarter turns of an image move whole pixels.
    const QImage image = m_image.transformed(QTransform().rotate(-lineAngle));
    return PDFPageBitmapAnalyzer(image, origin, pageSize);
}

}  // namespace zelvane
