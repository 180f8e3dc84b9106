#pragma once

#include "fonts/PrintedLinePlacement.h"
#include "model/VectorElement.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFPageBitmapAnalyzer.h"
#include "pdf/PDFPrintedCharacter.h"
#include "pdf/PrintedLineIndex.h"

#include <QList>
#include <QSizeF>
#include <QTransform>
#include <functional>
#include <optional>

namespace zelvane::PDFCodec {

// A stretch of page text in UTF-16 units.
struct TextRange {
    qsizetype location = 0;
    qsizetype length = 0;
    qsizetype end() const { return location + length; }
    bool operator==(const TextRange&) const = default;
};

// The page's text lines as editable text elements laid over the print, in
// reading order. `analyzer` measures colours and positions on the page's
// pixels when there is one. The same as buildExtractedTextElements over
// measureTextLines.
QList<VectorElement> extractEditableTextElements(const PDFPageText& text, const QRectF& mediaBox,
                                                 double pageWidth, double pageHeight,
                                                 const PDFPageBitmapAnalyzer* analyzer);

// One visual line of page text and what its print measures. A line whose
// glyphs advance down, up or right to left on the page (`angle` 90, 270 or
// 180 degrees, clockwise) is measured on the page turned back under it
// (pageTurnedUnder of `angle` and `page`), where it runs left to right.
struct MeasuredTextLine {
    TextRange range;
    std::optional<RegionMetrics> metrics;
    int angle = 0;
    QSizeF page;
    // For a line printed invisibly (a scan's text layer): the picture of its
    // ink, to choose the face it is edited in.
    QImage scannedInk;
};

// Page points (a page of `page`'s sides, y down) to the points of the same
// page turned back by `lineAngle` (90, 180 or 270), so that a line
// advancing at that angle runs left to right; the identity for any other.
QTransform pageTurnedUnder(int lineAngle, const QSizeF& page);

// The direction in which the glyphs of `range` advance on the page: 0, 90,
// 180 or 270 degrees (clockwise, y down), by what most of its neighbouring
// glyphs say; nothing when fewer than two glyphs are laid out.
std::optional<int> advanceAngle(const PDFPageText& text, const TextRange& range);

// `each` called for every index from 0 to count - 1, on any threads, all
// done when it returns.
using ParallelFor = std::function<void(qsizetype count, const std::function<void(qsizetype index)>& each)>;

// The first half of the extraction: the page's visual lines in reading order
// with their print measured. Uses no font, so it runs on any thread; the
// lines may be measured by `parallel` (one after the other without it), the
// result is the same.
QList<MeasuredTextLine> measureTextLines(const PDFPageText& text, const QRectF& mediaBox, double pageHeight,
                                         const PDFPageBitmapAnalyzer* analyzer, const ParallelFor& parallel = {});
// The second half: the elements of the measured lines. Qt's font engines
// keep per-thread state that the fonts chosen here depend on, so a document's
// pages go through this in order on one thread.
QList<VectorElement> buildExtractedTextElements(const PDFPageText& text, const QList<MeasuredTextLine>& lines,
                                                const QRectF& mediaBox, double pageWidth, double pageHeight);

// One line's range cut where its words leave a column gap (a wide gap, a tab
// or three spaces before a narrower gap, or a change of row); never empty.
QList<TextRange> splitIntoColumnRanges(const PDFPageText& text, const TextRange& range);

// The rectangle covering the characters of `range` (page space, y down), or
// nothing when none of them is laid out.
std::optional<QRectF> selectionBounds(const PDFPageText& text, const TextRange& range);

// `range` cut into the visual rows its characters sit on.
QList<TextRange> selectionsByLine(const PDFPageText& text, const TextRange& range);

// The element for one visual line, or nothing for blank or degenerate lines.
std::optional<VectorElement> buildExtractedTextElement(const PDFPageText& text, const TextRange& range,
                                                       const QRectF& mediaBox, double pageWidth,
                                                       double pageHeight, const PDFPageBitmapAnalyzer* analyzer);
std::optional<VectorElement> buildExtractedTextElement(const PDFPageText& text, const MeasuredTextLine& line,
                                                       const QRectF& mediaBox, double pageWidth, double pageHeight);

// The text's rectangles moved from the unturned page (`unturned` points,
// y down) onto the page as a viewer shows it, turned clockwise by `rotation`.
void turnPageText(PDFPageText& text, const QSizeF& unturned, int rotation);

// Where the page printed the line an extracted text element was made from:
// its text and the x of every glyph from the element's original left edge.
// `yOffset` moves the page text's rectangles onto the page (a page is at
// least 64 points high, its media box may be lower). Nothing when the line
// is not found there. `index` is the page text's, made once for the lines
// of one page; the one without makes it for this line.
std::optional<PrintedLine> printedLineOf(const PDFPageText& page, const PrintedLineIndex& index, double yOffset,
                                         const TextPayload& payload);
std::optional<PrintedLine> printedLineOf(const PDFPageText& page, double yOffset, const TextPayload& payload);

// The boxes (page space, y down, moved by `yOffset` as above) of the
// characters the page printed the line of an extracted text element as: its
// original text where the page's text holds it, the first and last of its
// characters reaching into the element's original rectangle. A line of
// leader dots or underscores, whose ink lies below the middle of its
// characters, is found too. Nothing when the line is not found.
std::optional<QList<PDFPrintedCharacter>> printedCharactersOf(const PDFPageText& page, const PrintedLineIndex& index,
                                                 double yOffset, const TextPayload& payload);

// The boxes of the characters of the one printed line whose rectangle
// `rect` is (an unturned line's, as a deleted line leaves it): from the
// character starting where the rectangle does to the last of its row inside
// it. Nothing when no such line, or more than one, is found.
std::optional<QList<PDFPrintedCharacter>> printedLineCharactersIn(const PDFPageText& page, const PrintedLineIndex& index,
                                                     double yOffset, const QRectF& rect);

}  // namespace zelvane::PDFCodec
