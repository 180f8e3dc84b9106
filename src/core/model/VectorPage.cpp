#include "model/VectorPage.h"

#include <cmath>
#include <limits>

namespace zelvane {

namespace {

// Rounds halves away from zero; a side that cannot be shown as an integer
// (not finite, or too large) reads as 0 rather than failing.
qint64 roundedSide(double value)
{
    const double rounded = std::round(value);
    if (!std::isfinite(rounded) || std::fabs(rounded) >= 9.0e18) {
        return 0;
    }
    return qint64(rounded);
}

VectorRect grown(const VectorRect& r)
{
    return VectorRect(r.x - 0.6, r.y - 0.5, atLeast(r.width + 1.2, 2), atLeast(r.height + 1.0, 2));
}

}  // namespace

qint64 normalizedQuarterTurn(qint64 degrees)
{
    const qint64 turns = ((degrees % 360) + 360) % 360;
    return ((turns + 45) / 90 % 4) * 90;
}

QTransform VectorPage::backdropTransform() const
{
    switch (normalizedQuarterTurn(pdfRotation)) {
    case 90:  // the unturned page was `width` high
        return QTransform(0, 1, -1, 0, width, 0);
    case 180:
        return QTransform(-1, 0, 0, -1, width, height);
    case 270:  // the unturned page was `height` wide
        return QTransform(0, -1, 1, 0, 0, height);
    default:
        return QTransform();
    }
}

VectorPage VectorPage::make(QUuid id, QString title, double width, double height, QString backgroundColorHex,
                            std::optional<QByteArray> pdfPageData, qint64 pdfPageIndex,
                            QList<VectorRect> redactedPDFRects, ElementList elements)
{
    VectorPage page;
    page.id = id;
    page.title = std::move(title);
    page.width = atLeast(width, 64);
    page.height = atLeast(height, 64);
    page.backgroundColorHex = std::move(backgroundColorHex);
    page.pdfPageData = std::move(pdfPageData);
    page.pdfPageIndex = pdfPageIndex;
    page.redactedPDFRects = std::move(redactedPDFRects);
    page.elements = std::move(elements);
    return page;
}

PageSizeMM VectorPage::sizeMM() const
{
    return {roundedSide(width * 25.4 / 72.0), roundedSide(height * 25.4 / 72.0)};
}

QString VectorPage::dimensionsLabel() const
{
    const PageSizeMM mm = sizeMM();
    return QStringLiteral("%1\u00D7%2 pt (%3\u00D7%4 mm)")
        .arg(roundedSide(width))
        .arg(roundedSide(height))
        .arg(mm.width)
        .arg(mm.height);
}

namespace {

bool removedPDFText(const VectorElement& element)
{
    return element.isPDFText() && (element.hasModifiedPDFText() || !element.visible);
}

// `pieces` less `hole`.
QList<QRectF> without(const QList<QRectF>& pieces, const QRectF& hole)
{
    QList<QRectF> left;
    for (const QRectF& piece : pieces) {
        const QRectF common = piece & hole;
        if (common.isEmpty()) {
            left.append(piece);
            continue;
        }
        const QRectF parts[] = {
            QRectF(QPointF(piece.left(), piece.top()), QPointF(piece.right(), common.top())),
            QRectF(QPointF(piece.left(), common.bottom()), QPointF(piece.right(), piece.bottom())),
            QRectF(QPointF(piece.left(), common.top()), QPointF(common.left(), common.bottom())),
            QRectF(QPointF(common.right(), common.top()), QPointF(piece.right(), common.bottom())),
        };
        for (const QRectF& part : parts) {
            if (part.width() > 0.01 && part.height() > 0.01) {
                left.append(part);
            }
        }
    }
    return left;
}

double area(const QRectF& rect)
{
    return rect.isEmpty() ? 0 : rect.width() * rect.height();
}

}  // namespace

QList<VectorRect> VectorPage::maskRectsOf(const VectorElement& element) const
{
    if (!removedPDFText(element)) {
        return {};
    }
    const auto printed = element.text()->printedPDFBounds();
    if (!printed) {
        return {};
    }
    const VectorRect mask = grown(*printed);
    // An untouched line printed inside the changed one's place (a word under
    // a wide accent, a piece of a formula) stays in sight: the mask leaves
    // out its printed place.
    QList<QRectF> pieces{mask.toQRectF()};
    const QRectF whole = pieces.front();
    for (const VectorElement& other : elements) {
        if (!other.isPDFText() || removedPDFText(other)) {
            continue;
        }
        const auto kept = other.text()->printedPDFBounds();
        if (!kept) {
            continue;
        }
        const QRectF place = kept->toQRectF();
        if (area(place & whole) >= 0.9 * area(place) && area(place) <= 0.6 * area(whole)) {
            pieces = without(pieces, place);
        }
    }
    QList<VectorRect> rects;
    rects.reserve(pieces.size());
    for (const QRectF& piece : pieces) {
        rects.append(VectorRect(piece.x(), piece.y(), piece.width(), piece.height()));
    }
    if (pieces.size() == 1 && pieces.front() == whole) {
        return {mask};
    }
    return rects;
}

QList<MaskRect> VectorPage::activeMaskRects() const
{
    QList<MaskRect> masks;
    for (const VectorRect& r : redactedPDFRects) {
        masks.append({grown(r), backgroundColorHex});
    }
    for (const VectorElement& element : elements) {
        for (const VectorRect& rect : maskRectsOf(element)) {
            masks.append({rect, element.text()->maskColorHex});
        }
    }
    return masks;
}

}  // namespace zelvane
