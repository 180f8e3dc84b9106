#include "export/BackdropMasking.h"

#include "model/RGBAColor.h"

#include <QLineF>

#include <algorithm>
#include <cmath>

namespace zelvane::PDFCodec {

namespace {

// The line an extracted text was printed as, in page space: its baseline
// across its printed box, turned as it was printed.
std::optional<PDFPrintedLine> printedLineOf(const TextPayload& text)
{
    if (!text.originalPDFRect) {
        return std::nullopt;
    }
    const QRectF rect = text.originalPDFRect->toQRectF();
    const double offset = std::clamp(text.baselineOffset.value_or(0.8 * rect.height()), 0.0, rect.height() + 1.5);
    const double turn = text.originalRotationDegrees.value_or(0);
    const QPointF centre = rect.center();
    const QTransform turned = std::isfinite(turn) ? QTransform()
                                                        .translate(centre.x(), centre.y())
                                                        .rotate(turn)
                                                        .translate(-centre.x(), -centre.y())
                                                  : QTransform();
    PDFPrintedLine line;
    line.baseline = turned.map(QLineF(rect.left(), rect.top() + offset, rect.right(), rect.top() + offset));
    line.size = text.originalFontSize.value_or(text.fontSize);
    line.box = turned.mapRect(rect);
    return line;
}

PDFPrintedLine mapped(const PDFPrintedLine& line, const QTransform& pageToUser)
{
    PDFPrintedLine result;
    result.baseline = pageToUser.map(line.baseline);
    result.size = line.size * std::sqrt(std::abs(pageToUser.determinant()));
    result.box = pageToUser.mapRect(line.box);
    return result;
}

}  // namespace

BackdropMasking backdropMasking(const VectorPage& page, const QTransform& pageToUser)
{
    const QColor background = RGBAColor::fromHex(page.backgroundColorHex).value_or(RGBAColor(1, 1, 1, 1)).toQColor();
    BackdropMasking masking;
    for (const MaskRect& mask : page.activeMaskRects()) {
        const auto color = RGBAColor::fromHex(mask.colorHex);
        masking.masks.append({pageToUser.mapRect(mask.rect.toQRectF()), color ? color->toQColor() : background, {}});
    }
    // The masks of changed and hidden lines follow the redactions, in the
    // order of the elements.
    qsizetype next = page.redactedPDFRects.size();
    for (const VectorElement& element : page.elements) {
        if (!element.isPDFText()) {
            continue;
        }
        const TextPayload& text = *element.text();
        const std::optional<PDFPrintedLine> line = printedLineOf(text);
        if (!line) {
            continue;
        }
        if (element.hasModifiedPDFText() || !element.visible) {
            if (next < masking.masks.size()) {
                masking.masks[next++].line = mapped(*line, pageToUser);
            }
        } else {
            masking.keptLines.append(mapped(*line, pageToUser));
        }
    }
    return masking;
}

}  // namespace zelvane::PDFCodec
