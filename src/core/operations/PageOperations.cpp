#include "operations/VectorOperations.h"

#include <cmath>

namespace zelvane::VectorOperations {

namespace {

bool isValidIndex(const VectorDocument& document, qsizetype index)
{
    return index >= 0 && index < document.pages.size();
}

// Turns move positions in whole millionths of a point, so that turns undo
// one another exactly: the coarse part of a value is worked out on that
// grid (where sums are exact once rounded back to it) and the part finer
// than the grid travels with the value unchanged.
constexpr double kGridSteps = 1e6;

double onGrid(double value)
{
    return std::round(value * kGridSteps) / kGridSteps;
}

struct GridValue {
    double coarse;
    double fine;
};

GridValue split(double value)
{
    const double coarse = onGrid(value);
    return {coarse, value - coarse};
}

// A quarter turn of a rectangle on a page of width w and height h: an area
// of the page, its sides swapped. Worked out on the grid like the frames.
VectorRect turned(const VectorRect& r, double w, double h, bool clockwise)
{
    if (!std::isfinite(r.x) || !std::isfinite(r.y) || !std::isfinite(r.width) || !std::isfinite(r.height)) {
        return clockwise ? VectorRect(h - r.y - r.height, r.x, r.height, r.width)
                         : VectorRect(r.y, w - r.x - r.width, r.height, r.width);
    }
    VectorRect area = r;
    area.width = r.height;
    area.height = r.width;
    if (clockwise) {
        // The bottom edge becomes the left one.
        const GridValue y = split(r.y);
        const GridValue side = split(r.height);
        area.x = onGrid(onGrid(h) - y.coarse - side.coarse) - (y.fine + side.fine);
        area.y = r.x;
    } else {
        // The right edge becomes the top one.
        const GridValue x = split(r.x);
        const GridValue side = split(r.width);
        area.x = r.y;
        area.y = onGrid(onGrid(w) - x.coarse - side.coarse) - (x.fine + side.fine);
    }
    return area;
}

// The same rectangle, its sides kept, with its centre where a quarter turn
// of the page carries it: the frame of an element that turns with the page.
VectorRect turnedAboutCentre(const VectorRect& r, double w, double h, bool clockwise)
{
    if (!std::isfinite(r.x) || !std::isfinite(r.y) || !std::isfinite(r.width) || !std::isfinite(r.height)) {
        return r;
    }
    const GridValue x = split(r.x);
    const GridValue y = split(r.y);
    // Half the sum and half the difference of the sides carry the corner
    // from the old centre to the new one.
    const double sum = onGrid((r.width + r.height) / 2);
    const double difference = onGrid((r.width - r.height) / 2);
    // The sides are kept exactly as they are.
    VectorRect moved = r;
    if (clockwise) {
        // Centre (cx, cy) goes to (h - cy, cx).
        moved.x = onGrid(onGrid(h) - y.coarse - sum) - y.fine;
        moved.y = onGrid(x.coarse + difference) + x.fine;
    } else {
        // Centre (cx, cy) goes to (cy, w - cx).
        moved.x = onGrid(y.coarse - difference) + y.fine;
        moved.y = onGrid(onGrid(w) - x.coarse - sum) - x.fine;
    }
    return moved;
}

// An angle a quarter turn further, kept in the same 360° span as before
// (so four turns give the angle back, not the angle plus 360).
double quarterTurned(double degrees, bool clockwise)
{
    if (!std::isfinite(degrees)) {
        return degrees;
    }
    const GridValue angle = split(degrees);
    const double span = 360 * std::floor((angle.coarse + 180) / 360);
    double local = onGrid(angle.coarse - span + (clockwise ? 90 : -90));
    if (local >= 180) {
        local = onGrid(local - 360);
    } else if (local < -180) {
        local = onGrid(local + 360);
    }
    return onGrid(span + local) + angle.fine;
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
        // Every element turns with the page as a whole: its centre is
        // carried over, its sides and contents stay, its rotation gains the
        // quarter turn.
        element.frame = turnedAboutCentre(element.frame, w, h, clockwise);
        element.rotationDegrees = quarterTurned(element.rotationDegrees, clockwise);
        TextPayload* text = element.text();
        if (hasBackdrop && text && text->originalPDFRect) {
            // A line of the backdrop keeps where it was printed in step with
            // the turned print, so an untouched line stays untouched.
            text->originalPDFRect = turnedAboutCentre(*text->originalPDFRect, w, h, clockwise);
            text->originalRotationDegrees = quarterTurned(text->originalRotationDegrees.value_or(0), clockwise);
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
