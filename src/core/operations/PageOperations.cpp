#include "operations/VectorOperations.h"

namespace zelvane::VectorOperations {

namespace {

bool isValidIndex(const VectorDocument& document, qsizetype index)
{
    return index >= 0 && index < document.pages.size();
}

// A quarter turn of a rectangle on a page of width w and height h.
VectorRect turned(const VectorRect& r, double w, double h, bool clockwise)
{
    return clockwise ? VectorRect(h - r.y - r.height, r.x, r.height, r.width)
                     : VectorRect(r.y, w - r.x - r.width, r.height, r.width);
}

// The same rectangle, unturned, with its centre where a quarter turn of the
// page carries it.
VectorRect turnedAboutCentre(const VectorRect& r, double w, double h, bool clockwise)
{
    const VectorRect bounds = turned(r, w, h, clockwise);
    const double cx = bounds.x + bounds.width / 2;
    const double cy = bounds.y + bounds.height / 2;
    return VectorRect(cx - r.width / 2, cy - r.height / 2, r.width, r.height);
}

}  // namespace

qsizetype addPage(VectorDocument& document, std::optional<qsizetype> after, PageFormatPreset preset,
                  const std::optional<QString>& title)
{
    const PageSize size = sizePoints(preset);
    const qsizetype count = document.pages.size();
    const QString pageTitle = title ? *title : QStringLiteral("Page ") + QString::number(count + 1);
    const qsizetype at = (after && *after >= 0 && *after < count) ? *after + 1 : count;
    document.pages.insert(at, VectorPage::make(QUuid::createUuid(), pageTitle, size.width, size.height,
                                               QStringLiteral("#FFFFFF")));
    document.revision += 1;
    return at;
}

qsizetype duplicatePage(VectorDocument& document, qsizetype index)
{
    if (!isValidIndex(document, index)) {
        return std::max<qsizetype>(document.pages.size() - 1, 0);
    }
    VectorPage copy = document.pages[index];
    copy.id = QUuid::createUuid();
    copy.title += QStringLiteral(" (copie)");
    for (VectorElement& element : copy.elements) {
        element.id = QUuid::createUuid();
    }
    document.pages.insert(index + 1, copy);
    document.revision += 1;
    return index + 1;
}

qsizetype deletePage(VectorDocument& document, qsizetype index)
{
    if (document.pages.size() >= 2 && isValidIndex(document, index)) {
        document.pages.removeAt(index);
        document.revision += 1;
    }
    return std::max<qsizetype>(std::min(document.pages.size() - 1, index), 0);
}

qsizetype movePage(VectorDocument& document, qsizetype from, qsizetype to)
{
    if (!isValidIndex(document, from) || !isValidIndex(document, to) || from == to) {
        return from;
    }
    document.pages.move(from, to);
    document.revision += 1;
    return to;
}

void rotatePage(VectorDocument& document, qsizetype index, bool clockwise)
{
    if (!isValidIndex(document, index)) {
        return;
    }
    VectorPage& page = document.pages[index];
    const double w = page.width;
    const double h = page.height;
    page.width = h;
    page.height = w;
    const bool hasBackdrop = page.pdfPageData.has_value();
    for (VectorElement& element : page.elements) {
        TextPayload* text = element.text();
        if (hasBackdrop && text && text->isPDFExtracted) {
            // A line of the backdrop turns with its print: same sides, its
            // centre carried over, a quarter turn more.
            const double quarter = clockwise ? 90 : -90;
            element.frame = turnedAboutCentre(element.frame, w, h, clockwise);
            element.rotationDegrees += quarter;
            if (text->originalPDFRect) {
                text->originalPDFRect = turnedAboutCentre(*text->originalPDFRect, w, h, clockwise);
                text->originalRotationDegrees = text->originalRotationDegrees.value_or(0) + quarter;
            }
            continue;
        }
        element.frame = turned(element.frame, w, h, clockwise);
        if (hasBackdrop && text && text->originalPDFRect) {
            text->originalPDFRect = turned(*text->originalPDFRect, w, h, clockwise);
        }
    }
    if (hasBackdrop) {
        for (VectorRect& redaction : page.redactedPDFRects) {
            redaction = turned(redaction, w, h, clockwise);
        }
        page.pdfRotation = normalizedQuarterTurn(page.pdfRotation + (clockwise ? 90 : 270));
    }
    document.revision += 1;
}

}  // namespace zelvane::VectorOperations
