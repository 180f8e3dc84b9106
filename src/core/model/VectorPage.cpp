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

QList<MaskRect> VectorPage::activeMaskRects() const
{
    QList<MaskRect> masks;
    for (const VectorRect& r : redactedPDFRects) {
        masks.append({grown(r), backgroundColorHex});
    }
    for (const VectorElement& element : elements) {
        if (!element.isPDFText()) {
            continue;
        }
        if (!element.hasModifiedPDFText() && element.visible) {
            continue;
        }
        const TextPayload& payload = *element.text();
        if (const auto printed = payload.printedPDFBounds()) {
            masks.append({grown(*printed), payload.maskColorHex});
        }
    }
    return masks;
}

}  // namespace zelvane
