#include "export/BackdropMasking.h"

#include "model/RGBAColor.h"
#include "render/PageRenderer.h"

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

// The line a deleted line's rectangle holds, from the boxes of its
// characters: its baseline where the reader's boxes mostly put it.
PDFPrintedLine lineOfCharacters(const QRectF& rect, const QList<PDFPrintedCharacter>& characters)
{
    QRectF band;
    for (const PDFPrintedCharacter& character : characters) {
        band |= character.box;
    }
    const double baseline = band.top() + 0.78 * band.height();
    PDFPrintedLine line;
    line.baseline = QLineF(rect.left(), baseline, rect.right(), baseline);
    line.size = band.height();
    line.box = rect;
    line.characters = characters;
    return line;
}

PDFPrintedLine mapped(const PDFPrintedLine& line, const QTransform& pageToUser)
{
    PDFPrintedLine result;
    result.baseline = pageToUser.map(line.baseline);
    result.size = line.size * std::sqrt(std::abs(pageToUser.determinant()));
    result.box = pageToUser.mapRect(line.box);
    result.characters.reserve(line.characters.size());
    for (const PDFPrintedCharacter& character : line.characters) {
        result.characters.append({pageToUser.mapRect(character.box), character.place});
    }
    return result;
}

bool nearAny(const QRectF& box, const QList<MaskRect>& masks, double margin)
{
    const QRectF reach = box.adjusted(-margin, -margin, margin, margin);
    return std::any_of(masks.begin(), masks.end(),
                       [&](const MaskRect& mask) { return reach.intersects(mask.rect.toQRectF()); });
}

}  // namespace

BackdropMasking backdropMasking(const VectorPage& page, const QTransform& pageToUser)
{
    const QColor background = RGBAColor::fromHex(page.backgroundColorHex).value_or(RGBAColor(1, 1, 1, 1)).toQColor();
    BackdropMasking masking;
    const QList<MaskRect> masks = page.activeMaskRects();
    for (const MaskRect& mask : masks) {
        const auto color = RGBAColor::fromHex(mask.colorHex);
        masking.masks.append({pageToUser.mapRect(mask.rect.toQRectF()), color ? color->toQColor() : background, {}});
    }
    if (masks.isEmpty()) {
        return masking;
    }
    // A redaction that is one printed line's rectangle (a deleted line)
    // takes that line, found by the page's text.
    for (qsizetype i = 0; i < page.redactedPDFRects.size() && i < masking.masks.size(); ++i) {
        const QRectF rect = page.redactedPDFRects[i].toQRectF();
        if (const auto characters = printedLineCharactersFor(page, rect)) {
            masking.masks[i].line = mapped(lineOfCharacters(rect, *characters), pageToUser);
        }
    }
    // The masks of changed and hidden lines follow the redactions, in the
    // order of the elements.
    qsizetype next = page.redactedPDFRects.size();
    for (const VectorElement& element : page.elements) {
        if (!element.isPDFText()) {
            continue;
        }
        const TextPayload& text = *element.text();
        std::optional<PDFPrintedLine> line = printedLineOf(text);
        if (!line) {
            continue;
        }
        const bool removed = element.hasModifiedPDFText() || !element.visible;
        // The characters of a kept line matter only near a mask.
        if (removed || nearAny(line->box, masks, line->size + 2)) {
            if (auto characters = printedCharactersFor(page, text)) {
                line->characters = std::move(*characters);
            }
        }
        if (removed) {
            const PDFPrintedLine own = mapped(*line, pageToUser);
            for (qsizetype pieces = page.maskRectsOf(element).size(); pieces > 0 && next < masking.masks.size();
                 --pieces) {
                masking.masks[next++].line = own;
            }
        } else {
            masking.keptLines.append(mapped(*line, pageToUser));
        }
    }
    return masking;
}

}  // namespace zelvane::PDFCodec
