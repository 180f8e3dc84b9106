#include "pdf/PDFTextExtraction.h"

#include "Graphemes.h"
#include "fonts/FontLookup.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "model/VectorPage.h"
#include "fonts/TextFonts.h"
#include "pdf/PDFFontAttributes.h"
#include "pdf/ScannedTextLine.h"

#include <QFontMetricsF>
#include <QTextBoundaryFinder>
#include <QTransform>
#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <vector>

namespace zelvane::PDFCodec {

namespace {

bool isFiniteRect(const QRectF& r)
{
    return std::isfinite(r.x()) && std::isfinite(r.y()) && std::isfinite(r.width()) && std::isfinite(r.height());
}

struct Word {
    TextRange range;
    QRectF bounds;
};

// The words of a range (runs of letters and digits) that are laid out.
QList<Word> wordsIn(const PDFPageText& text, const TextRange& range)
{
    QList<Word> words;
    const QString slice = text.text.mid(range.location, range.length);
    QTextBoundaryFinder finder(QTextBoundaryFinder::Word, slice);
    qsizetype start = 0;
    while (start < slice.size()) {
        qsizetype next = finder.toNextBoundary();
        if (next < 0) {
            next = slice.size();
        }
        bool isWord = false;
        for (qsizetype i = start; i < next && !isWord; ++i) {
            isWord = slice[i].isLetterOrNumber();
        }
        if (isWord) {
            const TextRange wordRange{range.location + start, next - start};
            if (const auto bounds = selectionBounds(text, wordRange);
                bounds && bounds->width() > 0.5 && bounds->height() > 1.0 && isFiniteRect(*bounds)) {
                words.append({wordRange, *bounds});
            }
        }
        start = next;
    }
    return words;
}

// The visual rows of one column: several only when the rows really differ.
QList<TextRange> visualPieces(const PDFPageText& text, const TextRange& column)
{
    const QList<TextRange> lines = selectionsByLine(text, column);
    if (lines.size() < 2) {
        return {column};
    }
    const auto firstBounds = selectionBounds(text, lines.front());
    if (!firstBounds) {
        return {column};
    }
    const double threshold = std::max(firstBounds->height(), 8.0) * 0.55;
    for (const TextRange& line : lines) {
        const auto bounds = selectionBounds(text, line);
        if (bounds && std::abs(bounds->center().y() - firstBounds->center().y()) > threshold) {
            return lines;
        }
    }
    return {column};
}

// The baseline of the range's first laid-out character (y down, in the
// text's own space), known when its font run tells where baselines lie.
std::optional<double> readerBaseline(const PDFPageText& text, const TextRange& range)
{
    const qsizetype end = std::min(range.end(), text.characterRects.size());
    for (qsizetype i = std::max<qsizetype>(range.location, 0); i < end; ++i) {
        const QRectF& rect = text.characterRects[i];
        if (rect.isNull() || text.text[i].isSpace()) {
            continue;
        }
        for (const PDFTextRun& run : text.runs) {
            if (run.start <= i && i < run.end && run.baselineShare > 0) {
                return rect.top() + run.baselineShare * rect.height();
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

// One axis of QRectF::united, with its arithmetic: the span from `start`
// over `size` (either sign) widened to take in the other span.
void uniteAxis(double& start, double& size, double otherStart, double otherSize)
{
    double low = start;
    double high = start;
    if (size < 0)
        low += size;
    else
        high += size;
    if (otherSize < 0) {
        low = qMin(low, otherStart + otherSize);
        high = qMax(high, otherStart);
    } else {
        low = qMin(low, otherStart);
        high = qMax(high, otherStart + otherSize);
    }
    start = low;
    size = high - low;
}

}  // namespace

std::optional<QRectF> selectionBounds(const PDFPageText& text, const TextRange& range)
{
    // QRectF::united's arithmetic, step by step (so every bit of the result
    // is the same), without a call per character: a line of a page unites
    // dozens of rectangles, and the import measures every line and word.
    bool any = false;
    double x = 0, y = 0, w = 0, h = 0;
    const qsizetype end = std::min(range.end(), text.characterRects.size());
    for (qsizetype i = std::max<qsizetype>(range.location, 0); i < end; ++i) {
        const QRectF& rect = text.characterRects[i];
        if (rect.isNull()) {
            continue;
        }
        if (!any || (w == 0. && h == 0.)) {
            any = true;
            x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
            continue;
        }
        uniteAxis(x, w, rect.x(), rect.width());
        uniteAxis(y, h, rect.y(), rect.height());
    }
    if (!any)
        return std::nullopt;
    return QRectF(x, y, w, h);
}

QList<TextRange> selectionsByLine(const PDFPageText& text, const TextRange& range)
{
    QList<TextRange> lines;
    const qsizetype end = std::min(range.end(), text.characterRects.size());
    qsizetype lineStart = -1;
    qsizetype lineEnd = -1;  // after the line's last laid-out character
    QRectF lineRect;
    const auto closeLine = [&] {
        if (lineStart >= 0) {
            lines.append({lineStart, lineEnd - lineStart});
        }
        lineStart = -1;
    };
    for (qsizetype i = std::max<qsizetype>(range.location, 0); i < end; ++i) {
        const QRectF& rect = text.characterRects[i];
        if (text.text[i] == QLatin1Char('\n')) {
            closeLine();
            continue;
        }
        if (rect.isNull()) {
            continue;
        }
        if (lineStart >= 0) {
            const double tolerance = std::max(lineRect.height(), rect.height()) * 0.5;
            if (std::abs(rect.center().y() - lineRect.center().y()) > tolerance) {
                closeLine();
            }
        }
        if (lineStart < 0) {
            lineStart = i;
            lineRect = rect;
        }
        lineEnd = i + 1;
    }
    closeLine();
    return lines;
}

namespace {

// The colour the reader gives the unit's text, when a run holds it (runs
// come in text order).
std::optional<QColor> colourAt(const PDFPageText& text, qsizetype unit)
{
    const auto after = std::upper_bound(text.runs.begin(), text.runs.end(), unit,
                                        [](qsizetype u, const PDFTextRun& run) { return u < run.start; });
    if (after == text.runs.begin())
        return std::nullopt;
    const PDFTextRun& run = *(after - 1);
    if (unit >= run.end || !run.color.isValid())
        return std::nullopt;
    return run.color;
}

// The median gap between neighbouring words of a row, when there are at
// least three gaps to tell what the row's ordinary space is.
std::optional<double> ordinaryGap(const QList<Word>& words)
{
    std::vector<double> gaps;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const QRectF& a = words[i - 1].bounds;
        const QRectF& b = words[i].bounds;
        if (std::abs(a.center().y() - b.center().y()) <= 0.5 * std::min(a.height(), b.height()))
            gaps.push_back(std::max(b.left() - a.right(), 0.0));
    }
    if (gaps.size() < 3)
        return std::nullopt;
    std::nth_element(gaps.begin(), gaps.begin() + qsizetype(gaps.size() / 2), gaps.end());
    return gaps[gaps.size() / 2];
}

}  // namespace

QList<TextRange> splitIntoColumnRanges(const PDFPageText& text, const TextRange& range)
{
    const QList<Word> words = wordsIn(text, range);
    if (words.size() < 2) {
        return {range};
    }
    const std::optional<double> ordinary = ordinaryGap(words);
    QList<TextRange> result;
    qsizetype columnStart = range.location;
    for (qsizetype i = 1; i < words.size(); ++i) {
        const Word& prev = words[i - 1];
        const Word& cur = words[i];
        const double h = std::max(std::min(prev.bounds.height(), cur.bounds.height()), 8.0);
        const double gap = cur.bounds.left() - prev.bounds.right();
        const double dy = std::abs(cur.bounds.center().y() - prev.bounds.center().y());
        const qsizetype prevEnd = prev.range.end();
        const QString between =
            cur.range.location - prevEnd < 1 ? QString() : text.text.mid(prevEnd, cur.range.location - prevEnd);
        bool split = false;
        if (gap > std::max(1.65 * h, 18.0)) {
            split = true;
        } else if (between.contains(QLatin1Char('\t')) || between.contains(QLatin1String("   "))) {
            split = gap > std::max(0.9 * h, 10.0);
        } else {
            split = dy > 0.65 * h;
        }
        // A gap far wider than the row's other spaces leaves a column, as
        // does a change of colour (cells of a table, a coloured label): a
        // line takes one colour.
        if (!split && ordinary && gap > std::max(0.9 * h, 10.0) && gap > 3 * *ordinary) {
            split = true;
        }
        if (!split) {
            const std::optional<QColor> before = colourAt(text, prev.range.location);
            const std::optional<QColor> after = colourAt(text, cur.range.location);
            split = before && after && before->rgb() != after->rgb();
        }
        if (split) {
            // Marks next to the words, such as "(" or "%", stay with them:
            // the cut falls in the blanks between.
            qsizetype cut = prevEnd;
            while (cut < cur.range.location && !text.text[cut].isSpace()) {
                ++cut;
            }
            if (columnStart < cut) {
                result.append({columnStart, cut - columnStart});
            }
            while (cut < cur.range.location && text.text[cut].isSpace()) {
                ++cut;
            }
            columnStart = cut;
        }
    }
    const qsizetype end = range.end();
    if (columnStart < end) {
        result.append({columnStart, end - columnStart});
    } else if (result.isEmpty()) {
        return {range};
    }
    return result;
}

namespace {

// Where a visual line sits on the page; nothing for blank or degenerate lines.
struct LinePlacement {
    QString text;
    // The characters' rectangle, measured from the media box's top left.
    QRectF bounds;
    // The same on the page (which may be taller than the media box).
    double selX, selY, selW, selH;
};

std::optional<LinePlacement> placeLine(const PDFPageText& page, const TextRange& range, const QRectF& mediaBox,
                                       double pageHeight)
{
    const QString text = page.text.mid(range.location, range.length).trimmed();
    if (text.isEmpty()) {
        return std::nullopt;
    }
    const auto bounds = selectionBounds(page, range);
    if (!bounds || !isFiniteRect(*bounds) || !(bounds->width() > 1.5) || !(bounds->height() > 2.0)) {
        return std::nullopt;
    }
    // Character rectangles are measured from the media box's top left; the
    // page may be taller than the media box (at least 64 points).
    const QRectF& b = *bounds;
    return LinePlacement{text,
                         b,
                         std::max(0.0, b.left()),
                         std::max(0.0, pageHeight - (mediaBox.height() - b.top())),
                         std::max(b.width(), 1.0),
                         std::max(b.height(), 1.0)};
}

std::optional<MeasuredTextLine> measureTextLine(const PDFPageText& page, const TextRange& range,
                                                const QRectF& mediaBox, double pageHeight,
                                                const PDFPageBitmapAnalyzer* analyzer)
{
    const std::optional<LinePlacement> placed = placeLine(page, range, mediaBox, pageHeight);
    if (!placed) {
        return std::nullopt;
    }
    MeasuredTextLine line{range, std::nullopt, {}};
    if (analyzer) {
        QRectF window(placed->selX, placed->selY, placed->selW, placed->selH);
        const bool scanned = printedInvisibly(page, range.location, range.length);
        if (scanned) {
            // The picture's words may reach past the text layer's boxes.
            window = scannedLineWindow(window);
        }
        double expectedSize = printedFontSize(page, range.location, range.length, placed->bounds.height());
        if (scanned) {
            // A layer's font size says little of the print's; its box
            // spans the printed line.
            expectedSize = std::max(expectedSize, placed->bounds.height());
        }
        line.metrics = analyzer->analyzeTextRegion(window, placed->text, expectedSize);
        if (scanned) {
            line.scannedInk = scannedInkPicture(*analyzer, *line.metrics);
        }
    }
    return line;
}

}  // namespace

std::optional<VectorElement> buildExtractedTextElement(const PDFPageText& page, const TextRange& range,
                                                       const QRectF& mediaBox, double pageWidth,
                                                       double pageHeight, const PDFPageBitmapAnalyzer* analyzer)
{
    const std::optional<MeasuredTextLine> line = measureTextLine(page, range, mediaBox, pageHeight, analyzer);
    if (!line) {
        return std::nullopt;
    }
    return buildExtractedTextElement(page, *line, mediaBox, pageWidth, pageHeight);
}

std::optional<VectorElement> buildExtractedTextElement(const PDFPageText& page, const MeasuredTextLine& line,
                                                       const QRectF& mediaBox, double pageWidth, double pageHeight)
{
    Q_UNUSED(pageWidth);
    const TextRange& range = line.range;
    const std::optional<LinePlacement> placed = placeLine(page, range, mediaBox, pageHeight);
    if (!placed) {
        return std::nullopt;
    }
    const QString& text = placed->text;
    const QRectF& b = placed->bounds;
    const double selX = placed->selX;
    const double selY = placed->selY;
    const double selW = placed->selW;
    const double selH = placed->selH;

    const ExtractedFontAttributes attrs = extractAttributedFontAndColor(page, range.location, range.length, b.height());
    const std::optional<RegionMetrics>& metrics = line.metrics;

    const QString maskColor = metrics ? metrics->backgroundHex : QStringLiteral("#FFFFFF");
    const QString textColor = metrics && metrics->inkHex ? *metrics->inkHex
                                                         : attrs.colorHex.value_or(QStringLiteral("#111317"));
    const QRectF ink = metrics ? QRectF(metrics->inkX, metrics->inkY, metrics->inkWidth, metrics->inkHeight)
                               : QRectF(selX, selY, selW, selH);
    const bool bold = attrs.isBold || (metrics && metrics->looksBold);
    const bool italic = attrs.isItalic;
    VectorRect frame(selX, ink.y(), std::max(ink.x() + ink.width() - selX, b.width()), std::max(ink.height(), 1.0));
    const bool scanned = printedInvisibly(page, range.location, range.length);
    if (scanned && metrics) {
        // A text layer's boxes only roughly follow the picture's words: the
        // frame covers all the ink, so that the mask hides the whole line.
        const double left = std::min(frame.x, ink.x());
        frame = VectorRect(left, frame.y, std::max(frame.x + frame.width, ink.x() + ink.width()) - left, frame.height);
    }

    TextPayload probe;
    probe.text = text;
    probe.fontFamily = attrs.familyName;
    probe.postScriptFontName = attrs.postScriptName;
    probe.isBold = bold;
    probe.isItalic = italic;

    double size = attrs.fontSize;
    if (!attrs.sizeFromFont && metrics && metrics->capHeightReliable) {
        probe.fontSize = 100;
        const double ratio = fonts::capHeightOf(resolveFont(probe, 100)) / 100;
        if (ratio > 0.35) {
            size = std::max(std::min((metrics->capHeight - 0.35) / ratio, 72.0), 5.5);
        }
    }
    probe.fontSize = size;
    const QFont font = resolveFont(probe, size);
    const double capHeight = fonts::capHeightOf(font);
    // The font's ascent loads the font: it is looked up only where needed.
    const auto ascent = [&font] { return QFontMetricsF(font, fonts::pointDevice()).ascent(); };

    double offset = 0;
    if (metrics) {
        double selBaseline = 0;
        if (attrs.sizeFromFont) {
            // Where the reader put the baseline, when the PDF says how its font sits.
            const auto baseline = readerBaseline(page, range);
            selBaseline = baseline ? pageHeight - (mediaBox.height() - *baseline) : selY + ascent();
        }
        const double baselineY = attrs.sizeFromFont && std::abs(selBaseline - metrics->baselineY) <= 1.2
                                     ? selBaseline
                                     : metrics->baselineY;
        offset = std::min(baselineY - frame.y, frame.height + 1.5);
        offset = std::max(offset, 0.88 * capHeight);
    } else {
        const double fontAscent = attrs.sizeFromFont ? ascent() : 0;
        offset = attrs.sizeFromFont && capHeight <= fontAscent ? fontAscent : capHeight;
    }

    bool fontMatches = attrs.sizeFromFont;
    if (attrs.postScriptName && !attrs.postScriptName->isEmpty()) {
        fontMatches = PDFEmbeddedFontRegistry::shared().postScriptNameOf(font).toLower().startsWith(attrs.postScriptName->toLower().left(5));
    }
    double spacing = 0;
    const qsizetype characters = graphemeCount(text);
    if (!fontMatches && characters >= 4 && metrics && metrics->inkWidth > 12.0) {
        const double measured = measureSingleLineWidth(text, font, 0);
        if (measured > 4.0) {
            spacing = (std::max(metrics->inkWidth - 0.4, 4.0) - measured) / double(characters - 1);
            if (std::abs(spacing) > 0.4) {
                spacing = 0;
            }
        }
    }

    TextPayload fields;
    fields.text = text;
    fields.fontFamily = attrs.familyName;
    fields.postScriptFontName = attrs.postScriptName;
    fields.fontSize = size;
    fields.isBold = bold;
    fields.isItalic = italic;
    fields.alignment = TextAlignmentMode::left;
    fields.baselineOffset = offset;
    fields.letterSpacing = spacing;
    fields.isPDFExtracted = true;
    fields.originalPDFText = text;
    fields.originalPDFRect = frame;
    fields.originalFontSize = size;
    fields.originalIsBold = bold;
    fields.originalIsItalic = italic;
    fields.originalTextColorHex = textColor;
    fields.maskColorHex = maskColor;
    // The page shows this line only as a picture: it is edited in an
    // installed face resembling the print instead of the layer's font.
    if (scanned) {
        fitScannedLine(fields, frame, metrics, line.scannedInk);
    }
    fields.originalRotationDegrees = 0;
    fields.originalFrameWidth = frame.width;
    fields.originalFrameHeight = frame.height;
    fields.originalFontFamily = fields.fontFamily;
    fields.originalPostScriptFontName = fields.postScriptFontName;

    // A line printed smaller than the smallest size the editor sets is
    // shown at that size: it is the line's own size, so that the line reads
    // as unchanged (and its print stays in the exports) until it is edited.
    TextPayload payload = TextPayload::make(fields);
    payload.originalFontSize = payload.fontSize;
    return VectorElement::make(leadingGraphemes(text, 32), std::move(payload), frame, 0,
                               VectorStyle(std::nullopt, textColor, 0, 1.0, false));
}

QTransform pageTurnedUnder(int lineAngle, const QSizeF& page)
{
    switch (lineAngle) {
    case 90: return QTransform(0, -1, 1, 0, 0, page.width());
    case 180: return QTransform(-1, 0, 0, -1, page.width(), page.height());
    case 270: return QTransform(0, 1, -1, 0, page.height(), 0);
    default: return QTransform();
    }
}

std::optional<int> advanceAngle(const PDFPageText& text, const TextRange& range)
{
    std::array<int, 4> votes{};
    std::optional<QPointF> previous;
    const qsizetype end = std::min(range.end(), text.characterRects.size());
    for (qsizetype i = std::max<qsizetype>(range.location, 0); i < end; ++i) {
        const QRectF& rect = text.characterRects[i];
        if (rect.isNull() || text.text[i].isSpace()) {
            continue;
        }
        const QPointF centre = rect.center();
        if (previous) {
            const QPointF step = centre - *previous;
            if (std::abs(step.x()) >= std::abs(step.y()) && std::abs(step.x()) > 0.05) {
                ++votes[step.x() > 0 ? 0 : 2];
            } else if (std::abs(step.y()) > 0.05) {
                ++votes[step.y() > 0 ? 1 : 3];
            }
        }
        previous = centre;
    }
    const auto most = std::max_element(votes.begin(), votes.end());
    if (*most == 0) {
        return std::nullopt;
    }
    return int(most - votes.begin()) * 90;
}

namespace {

// A page's text seen from the page turned back under lines of one angle:
// its rectangles turned (from the page's top left, whatever the media box)
// and its print measured there.
struct TurnedPage {
    PDFPageText text;
    QRectF box;
    std::optional<PDFPageBitmapAnalyzer> analyzer;
};

PDFPageText turnedText(const PDFPageText& page, const QTransform& turn, double yOffset)
{
    PDFPageText text = page;
    const QTransform toTurned = QTransform::fromTranslate(0, yOffset) * turn;
    for (QRectF& rect : text.characterRects) {
        if (!rect.isNull()) {
            rect = toTurned.mapRect(rect);
        }
    }
    return text;
}

QRectF turnedBox(int angle, const QSizeF& page)
{
    return angle % 180 == 0 ? QRectF(QPointF(0, 0), page) : QRectF(QPointF(0, 0), page.transposed());
}

// The '\n'-separated lines of the page text, blanks trimmed, and the angle
// each advances at (a line of one glyph takes the page's commonest angle).
QList<std::pair<TextRange, int>> pageLines(const PDFPageText& page)
{
    QList<std::pair<TextRange, std::optional<int>>> found;
    std::array<int, 4> angles{};
    const QString& text = page.text;
    qsizetype location = 0;
    while (location < text.size()) {
        qsizetype lineEnd = text.indexOf(QLatin1Char('\n'), location);
        lineEnd = lineEnd < 0 ? text.size() : lineEnd + 1;
        const QString line = text.mid(location, lineEnd - location);
        const QString trimmed = line.trimmed();
        if (!trimmed.isEmpty()) {
            const qsizetype at = line.indexOf(trimmed);
            const TextRange content = at < 0 ? TextRange{location, lineEnd - location}
                                             : TextRange{location + at, trimmed.size()};
            const std::optional<int> angle = advanceAngle(page, content);
            if (angle) {
                ++angles[size_t(*angle / 90)];
            }
            found.append({content, angle});
        }
        location = lineEnd;
    }
    const int commonest = int(std::max_element(angles.begin(), angles.end()) - angles.begin()) * 90;
    QList<std::pair<TextRange, int>> lines;
    lines.reserve(found.size());
    for (const auto& [range, angle] : found) {
        lines.append({range, angle.value_or(commonest)});
    }
    return lines;
}

// The element of a line measured on the turned page, put back on the page:
// its frame's sides kept, centred where the line was printed, turned by the
// line's angle.
void turnBackOntoPage(VectorElement& element, const MeasuredTextLine& line)
{
    const QTransform back = pageTurnedUnder(line.angle, line.page).inverted();
    const QPointF centre = back.map(element.frame.toQRectF().center());
    const VectorRect frame(centre.x() - element.frame.width / 2, centre.y() - element.frame.height / 2,
                           element.frame.width, element.frame.height);
    element.frame = frame;
    element.rotationDegrees = line.angle;
    TextPayload& payload = *element.text();
    payload.originalPDFRect = frame;
    payload.originalRotationDegrees = line.angle;
}

}  // namespace

QList<MeasuredTextLine> measureTextLines(const PDFPageText& page, const QRectF& mediaBox, double pageHeight,
                                         const PDFPageBitmapAnalyzer* analyzer, const ParallelFor& parallel)
{
    // The pieces to measure, in reading order, each with the page text, box
    // and analyzer it is measured on (kept in place by turnedPages).
    struct Piece {
        const PDFPageText* text;
        TextRange range;
        QRectF box;
        double height;
        const PDFPageBitmapAnalyzer* analyzer;
        int angle;
    };
    std::vector<Piece> pieces;
    // The page as the analyzer drew it, whose sides the turns must share.
    const QSizeF pageSize = analyzer ? QSizeF(analyzer->pixelWidth(), analyzer->pixelHeight())
                                           / PDFPageBitmapAnalyzer::kScale
                                     : QSizeF(std::max(mediaBox.width(), 1.0), pageHeight);
    std::map<int, TurnedPage> turnedPages;
    for (const auto& [content, angle] : pageLines(page)) {
        const PDFPageText* text = &page;
        QRectF box = mediaBox;
        double height = pageHeight;
        const PDFPageBitmapAnalyzer* measuring = analyzer;
        if (angle != 0) {
            auto found = turnedPages.find(angle);
            if (found == turnedPages.end()) {
                const QTransform turn = pageTurnedUnder(angle, pageSize);
                TurnedPage turned{turnedText(page, turn, pageHeight - mediaBox.height()),
                                  turnedBox(angle, pageSize), std::nullopt};
                if (analyzer) {
                    turned.analyzer = analyzer->turnedUnder(angle);
                }
                found = turnedPages.emplace(angle, std::move(turned)).first;
            }
            text = &found->second.text;
            box = found->second.box;
            height = box.height();
            measuring = found->second.analyzer ? &*found->second.analyzer : nullptr;
        }
        for (const TextRange& column : splitIntoColumnRanges(*text, content)) {
            if (!selectionBounds(*text, column)) {
                continue;
            }
            for (const TextRange& piece : visualPieces(*text, column)) {
                pieces.push_back({text, piece, box, height, measuring, angle});
            }
        }
    }
    std::vector<std::optional<MeasuredTextLine>> measured(pieces.size());
    const auto measure = [&](qsizetype i) {
        const Piece& piece = pieces[size_t(i)];
        measured[size_t(i)] = measureTextLine(*piece.text, piece.range, piece.box, piece.height, piece.analyzer);
    };
    if (parallel && pieces.size() > 1) {
        parallel(qsizetype(pieces.size()), measure);
    } else {
        for (size_t i = 0; i < pieces.size(); ++i)
            measure(qsizetype(i));
    }
    QList<MeasuredTextLine> lines;
    lines.reserve(qsizetype(pieces.size()));
    for (size_t i = 0; i < pieces.size(); ++i) {
        if (measured[i]) {
            measured[i]->angle = pieces[i].angle;
            measured[i]->page = pageSize;
            lines.append(std::move(*measured[i]));
        }
    }
    return lines;
}

QList<VectorElement> buildExtractedTextElements(const PDFPageText& page, const QList<MeasuredTextLine>& lines,
                                                const QRectF& mediaBox, double pageWidth, double pageHeight)
{
    QList<VectorElement> elements;
    std::map<int, PDFPageText> turnedTexts;
    for (const MeasuredTextLine& line : lines) {
        if (line.angle == 0) {
            if (auto element = buildExtractedTextElement(page, line, mediaBox, pageWidth, pageHeight)) {
                elements.append(std::move(*element));
            }
            continue;
        }
        auto found = turnedTexts.find(line.angle);
        if (found == turnedTexts.end()) {
            const QTransform turn = pageTurnedUnder(line.angle, line.page);
            found = turnedTexts.emplace(line.angle, turnedText(page, turn, pageHeight - mediaBox.height())).first;
        }
        const QRectF box = turnedBox(line.angle, line.page);
        if (auto element = buildExtractedTextElement(found->second, line, box, box.width(), box.height())) {
            turnBackOntoPage(*element, line);
            elements.append(std::move(*element));
        }
    }
    return elements;
}

QList<VectorElement> extractEditableTextElements(const PDFPageText& page, const QRectF& mediaBox,
                                                 double pageWidth, double pageHeight,
                                                 const PDFPageBitmapAnalyzer* analyzer)
{
    return buildExtractedTextElements(page, measureTextLines(page, mediaBox, pageHeight, analyzer), mediaBox,
                                      pageWidth, pageHeight);
}

void turnPageText(PDFPageText& text, const QSizeF& unturned, int rotation)
{
    VectorPage turned;
    const bool sideways = rotation % 180 != 0;
    turned.width = sideways ? unturned.height() : unturned.width();
    turned.height = sideways ? unturned.width() : unturned.height();
    turned.pdfRotation = rotation;
    const QTransform transform = turned.backdropTransform();
    for (QRectF& rect : text.characterRects) {
        if (!rect.isNull()) {
            rect = transform.mapRect(rect);
        }
    }
}

namespace {

// The font (as `index` numbers them) most of the characters of `text`,
// printed at `at`, are in, blanks aside; the first met wins a tie.
int mostUsedFont(const PrintedLineIndex& index, const QString& text, qsizetype at)
{
    // Fonts in the order first met, with their characters.
    std::vector<std::pair<int, qsizetype>> counts;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isSpace()) {
            continue;
        }
        const int font = index.fontAt(at + i);
        const auto found = std::find_if(counts.begin(), counts.end(), [font](const auto& c) { return c.first == font; });
        if (found == counts.end()) {
            counts.emplace_back(font, 1);
        } else {
            ++found->second;
        }
    }
    int best = index.fontAt(at);
    qsizetype bestCount = 0;
    for (const auto& [font, n] : counts) {
        if (n > bestCount) {
            best = font;
            bestCount = n;
        }
    }
    return best;
}

// The fonts, without subset prefix and in the order first met, that the
// marks of `text` printed at `at` (characters that are neither letters,
// digits nor blanks, such as a bullet) are printed in besides `lineFont`.
QStringList symbolFontsOf(const PDFPageText& page, const PrintedLineIndex& index, const QString& text, qsizetype at,
                          int lineFont)
{
    QStringList fonts;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isSpace() || c.isLetterOrNumber() || c.isSurrogate() || index.fontAt(at + i) == lineFont) {
            continue;
        }
        const auto after = std::upper_bound(page.runs.begin(), page.runs.end(), at + i,
                                            [](qsizetype u, const PDFTextRun& run) { return u < run.start; });
        if (after == page.runs.begin() || at + i >= (after - 1)->end || (after - 1)->fontName.isEmpty()) {
            continue;
        }
        const QString name = PDFEmbeddedFontRegistry::stripSubsetPrefix((after - 1)->fontName);
        if (!fonts.contains(name)) {
            fonts.append(name);
        }
    }
    return fonts;
}

// An extracted line's original text as the page's text holds it: trimmed,
// without the invisible format characters, which print nothing.
QString printedTextOf(const QString& original)
{
    QString text(original.size(), Qt::Uninitialized);
    qsizetype kept = 0;
    for (const QChar c : original) {
        // (None lies below the soft hyphen.)
        if (c.unicode() < 0xad || c.category() != QChar::Other_Format) {
            text.data()[kept++] = c;
        }
    }
    text.truncate(kept);
    return std::move(text).trimmed();
}

// Where a line's own frame is read: the page moved down by `yOffset` and,
// for a turned line, turned back about the centre of its rectangle.
QTransform ownFrameOf(const TextPayload& payload, double yOffset, bool& turned)
{
    const QRectF own = payload.originalPDFRect->toQRectF();
    const double turn = payload.originalRotationDegrees.value_or(0);
    QTransform toOwnFrame = QTransform::fromTranslate(0, yOffset);
    turned = std::isfinite(turn) && std::fmod(turn, 360.0) != 0;
    if (turned) {
        const QPointF c = own.center();
        toOwnFrame *= QTransform().translate(c.x(), c.y()).rotate(-turn).translate(-c.x(), -c.y());
    }
    return toOwnFrame;
}

}  // namespace

std::optional<QList<PDFPrintedCharacter>> printedCharactersOf(const PDFPageText& page, const PrintedLineIndex& index,
                                                 double yOffset, const TextPayload& payload)
{
    if (!payload.originalPDFText || !payload.originalPDFRect) {
        return std::nullopt;
    }
    const QString text = printedTextOf(*payload.originalPDFText);
    if (text.isEmpty()) {
        return std::nullopt;
    }
    bool turned = false;
    const QTransform toOwnFrame = ownFrameOf(payload, yOffset, turned);
    const QRectF own = payload.originalPDFRect->toQRectF();
    const auto placed = [&](qsizetype i) {
        return turned ? toOwnFrame.mapRect(page.characterRects[i]) : page.characterRects[i].translated(0.0, yOffset);
    };
    // The frame is the line's ink, which may lie anywhere in the height of
    // its characters' boxes (periods and underscores lie at their foot).
    const QRectF area = own.adjusted(-1.0, -1.5, 1.0, 1.5);
    const auto reaches = [&](qsizetype i) {
        if (page.characterRects[i].isNull()) {
            return false;
        }
        const QRectF box = placed(i).normalized();
        const double middle = box.center().x();
        return middle >= area.left() && middle <= area.right() && box.top() <= area.bottom()
               && box.bottom() >= area.top();
    };
    const double size = std::max({payload.originalFontSize.value_or(payload.fontSize), own.height(), 1.0});
    bool invertible = false;
    const QTransform toPage = toOwnFrame.inverted(&invertible);
    const QRectF near = invertible
                            ? toPage.mapRect(area.adjusted(0, -2 * size, 0, 2 * size).normalized()).adjusted(-1, -1, 1, 1)
                            : QRectF(0, 0, qInf(), qInf());
    const QStringView pageText(page.text);
    std::optional<qsizetype> best;
    double bestScore = qInf();
    for (const qsizetype at : index.charactersNear(text.front(), near)) {
        if (at + text.size() > page.text.size() || at + text.size() > page.characterRects.size()
            || pageText.mid(at, text.size()) != text || !reaches(at) || !reaches(at + text.size() - 1)) {
            continue;
        }
        // Of lines printed alike (stacked pieces of a formula), the one
        // starting where the frame does, nearest its height.
        const QRectF first = placed(at).normalized();
        const double score = std::abs(first.left() - own.left()) + 0.25 * std::abs(first.center().y() - own.center().y());
        if (score < bestScore) {
            bestScore = score;
            best = at;
        }
    }
    if (!best) {
        return std::nullopt;
    }
    QList<PDFPrintedCharacter> characters;
    characters.reserve(text.size());
    for (qsizetype i = *best; i < *best + text.size(); ++i) {
        const QRectF& rect = page.characterRects[i];
        if (!rect.isNull()) {
            characters.append({rect.translated(0.0, yOffset).normalized(), i});
        }
    }
    return characters;
}

std::optional<QList<PDFPrintedCharacter>> printedLineCharactersIn(const PDFPageText& page, const PrintedLineIndex& index,
                                                     double yOffset, const QRectF& rect)
{
    const QRectF frame = rect.normalized();
    if (!std::isfinite(frame.width()) || !std::isfinite(frame.height()) || frame.isEmpty()) {
        return std::nullopt;
    }
    const qsizetype laidOut = std::min(page.text.size(), page.characterRects.size());
    const auto boxOf = [&](qsizetype i) { return page.characterRects[i].translated(0.0, yOffset).normalized(); };
    const auto meets = [&](const QRectF& box) { return box.top() <= frame.bottom() && box.bottom() >= frame.top(); };
    // A line's frame starts where its first character does and ends where
    // its last one, or its ink, does.
    constexpr double kEdge = 0.75;
    const double reach = 2 * frame.height() + 12;
    const QRectF near = frame.adjusted(-kEdge, -reach, kEdge, reach);
    std::optional<std::pair<qsizetype, qsizetype>> found;
    for (const qsizetype at : index.charactersNear(near)) {
        if (at >= laidOut || page.text[at].isSpace() || page.characterRects[at].isNull()) {
            continue;
        }
        const QRectF first = boxOf(at);
        if (std::abs(first.left() - frame.left()) > kEdge || !meets(first)) {
            continue;
        }
        qsizetype end = at;
        double right = first.right();
        bool fits = true;
        for (qsizetype i = at + 1; i < laidOut && page.text[i] != QLatin1Char('\n'); ++i) {
            if (page.characterRects[i].isNull()) {
                continue;
            }
            const QRectF box = boxOf(i);
            if (box.center().x() > frame.right()) {
                break;
            }
            if (!page.text[i].isSpace()) {
                if (!meets(box)) {
                    fits = false;
                    break;
                }
                right = std::max(right, box.right());
                end = i;
            }
        }
        const double overhang = 0.3 * first.height() + 1.5;
        if (!fits || right > frame.right() + kEdge || right < frame.right() - overhang) {
            continue;
        }
        if (found && *found != std::pair(at, end)) {
            return std::nullopt;  // more than one line would fit
        }
        found = std::pair(at, end);
    }
    if (!found) {
        return std::nullopt;
    }
    QList<PDFPrintedCharacter> characters;
    for (qsizetype i = found->first; i <= found->second; ++i) {
        if (!page.characterRects[i].isNull()) {
            characters.append({boxOf(i), i});
        }
    }
    return characters;
}

std::optional<PrintedLine> printedLineOf(const PDFPageText& page, const PrintedLineIndex& index, double yOffset,
                                         const TextPayload& payload)
{
    if (!payload.originalPDFText || !payload.originalPDFRect) {
        return std::nullopt;
    }
    const QString text = printedTextOf(*payload.originalPDFText);
    if (text.isEmpty()) {
        return std::nullopt;
    }
    // A turned line is read in its own frame: the page turned back about
    // the line's centre, so that its glyphs advance to the right.
    const QRectF own = payload.originalPDFRect->toQRectF();
    bool turned = false;
    const QTransform toOwnFrame = ownFrameOf(payload, yOffset, turned);
    // Unturned, the frame only moves the page down: a rectangle is moved as
    // QTransform moves it (x + 0, y + yOffset), without a call per character.
    const auto placed = [&](qsizetype i) {
        return turned ? toOwnFrame.mapRect(page.characterRects[i]) : page.characterRects[i].translated(0.0, yOffset);
    };
    const QRectF area = own.adjusted(-1.0, -1.5, 1.0, 1.5);
    const auto inside = [&](qsizetype i) {
        return !page.characterRects[i].isNull() && area.contains(placed(i).center());
    };
    // The line starts with a character inside its area: only those near the
    // area, on the page, are tried (with a point to spare for rounding).
    bool invertible = false;
    const QTransform toPage = toOwnFrame.inverted(&invertible);
    const QRectF near = invertible ? toPage.mapRect(area.normalized()).adjusted(-1.0, -1.0, 1.0, 1.0)
                                   : QRectF(0, 0, qInf(), qInf());
    const QStringView pageText(page.text);
    for (const qsizetype at : index.charactersNear(text.front(), near)) {
        if (at + text.size() > page.text.size() || at + text.size() > page.characterRects.size()
            || pageText.mid(at, text.size()) != text || !inside(at) || !inside(at + text.size() - 1)) {
            continue;
        }
        // The line is drawn in the font most of its characters are printed
        // in, as it was extracted; letters printed in another font only lend
        // the place where their word starts.
        const int lineFont = mostUsedFont(index, text, at);
        // An invisible text layer stretches its glyphs over the printed
        // words: only where a word starts tells where the print has it.
        const bool wordsOnly = printedInvisibly(page, at, text.size());
        PrintedLine line{text, QList<double>(text.size()), wordsOnly};
        double* const x = line.x.data();
        for (qsizetype i = 0; i < text.size(); ++i) {
            const bool blank = page.characterRects[at + i].isNull();
            const bool ownPlace =
                i == 0 || text[i - 1].isSpace() || (!wordsOnly && index.fontAt(at + i) == lineFont);
            x[i] = blank || text[i].isSpace() || !ownPlace ? std::nan("") : placed(at + i).left() - own.x();
        }
        line.symbolFonts = symbolFontsOf(page, index, text, at, lineFont);
        return line;
    }
    return std::nullopt;
}

std::optional<PrintedLine> printedLineOf(const PDFPageText& page, double yOffset, const TextPayload& payload)
{
    return printedLineOf(page, PrintedLineIndex(page), yOffset, payload);
}

}  // namespace zelvane::PDFCodec
