#include "pdf/PDFPageBitmapAnalyzer.h"

#include "pdf/PDFDocument.h"
#include "pdf/PageRasterWindow.h"

#include <QPainter>
#include <QVarLengthArray>
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zelvane {

namespace {

struct VerticalBand {
    int startPY;
    int endPY;
    qint64 inkSum;
    int height() const { return endPY - startPY + 1; }
    double mid() const { return (startPY + endPY) / 2.0; }
};

int luma(int r, int g, int b)
{
    return (299 * r + 587 * g + 114 * b) / 1000;
}

int brightness(const PaperColour& p)
{
    return luma(p.r, p.g, p.b);
}

// "#RRGGBB" in capitals.
QString hexOf(int r, int g, int b)
{
    static constexpr char16_t digits[] = u"0123456789ABCDEF";
    const char16_t text[7] = {u'#', digits[r >> 4 & 15], digits[r & 15], digits[g >> 4 & 15],
                              digits[g & 15],  digits[b >> 4 & 15], digits[b & 15]};
    return QString(reinterpret_cast<const QChar*>(text), 7);
}

bool hasDescender(const QString& text)
{
    static const QString descenders = QStringLiteral("gjpqyçQJy()[]{};,");
    for (const QChar c : text) {
        if (descenders.contains(c)) {
            return true;
        }
    }
    return false;
}

bool hasCapitalOrDigit(const QString& text)
{
    for (const char32_t c : text.toUcs4()) {
        if (QChar::isUpper(c) || QChar::isDigit(c)) {
            return true;
        }
    }
    return false;
}

// p% of n in integers, as an index into a list of n entries.
qsizetype percentile(qsizetype n, int p)
{
    return std::min<qsizetype>(n * p / 100, n - 1);
}

// How far from the paper colour, in the largest difference of one colour
// channel, a pixel counts as ink (row profile, ink rectangle, column
// extents), as part of a horizontal stroke (bold test), as strong ink
// (strong column extents) and as sampled for the ink colour.
constexpr std::uint8_t kInk = 22;
constexpr std::uint8_t kStroke = 45;
constexpr std::uint8_t kStrongInk = 48;
constexpr std::uint8_t kSampledInk = 55;

// The value of rank k (from 0) in a list of values 0-255 counted by value.
int valueOfRank(const std::array<int, 256>& counts, qsizetype k)
{
    qsizetype seen = 0;
    for (int value = 0; value < 256; ++value) {
        seen += counts[size_t(value)];
        if (seen > k) {
            return value;
        }
    }
    return 255;
}

}  // namespace

PDFPageBitmapAnalyzer::PDFPageBitmapAnalyzer(const QImage& drawn, const QPoint& origin, const QSize& pageSize)
    : m_image(drawn), m_origin(origin), m_pageSize(pageSize)
{
}

PDFPageBitmapAnalyzer::PDFPageBitmapAnalyzer(const QImage& page) : m_pageSize(page.size())
{
    if (page.format() == QImage::Format_ARGB32_Premultiplied || page.format() == QImage::Format_RGB32) {
        // Read as they are: white under the transparent parts is added as
        // the pixels are read.
        m_image = page;
        return;
    }
    m_image = QImage(page.size(), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    QPainter painter(&m_image);
    painter.drawImage(0, 0, page);
}

std::optional<PDFPageBitmapAnalyzer> PDFPageBitmapAnalyzer::create(const PDFDocument& document, int pageIndex,
                                                                   double pageWidth, double pageHeight, int rotation)
{
    QImage raster;
    return create(document, pageIndex, pageWidth, pageHeight, raster, rotation);
}

std::optional<PDFPageBitmapAnalyzer> PDFPageBitmapAnalyzer::create(const PDFDocument& document, int pageIndex,
                                                                   double pageWidth, double pageHeight,
                                                                   QImage& raster, int rotation)
{
    if (rotation % 360 != 0) {
        const bool sideways = rotation % 180 != 0;
        auto unturned = create(document, pageIndex, sideways ? pageHeight : pageWidth,
                               sideways ? pageWidth : pageHeight, raster);
        if (!unturned) {
            return std::nullopt;
        }
        // Quarter turns move whole pixels.
        return PDFPageBitmapAnalyzer(unturned->m_image.transformed(QTransform().rotate(rotation)));
    }
    const std::optional<QSize> size = pixelSize(pageWidth, pageHeight);
    if (!size) {
        return std::nullopt;
    }
    return create(document, pageIndex, pageWidth, pageHeight, raster, QRect(QPoint(0, 0), *size));
}

namespace {

// What a page's bitmap shows: the media box (at least a point either way)
// stretched over the bitmap, its top at row 0.
std::optional<QRectF> drawnBox(const PDFDocument& document, int pageIndex)
{
    const QRectF media = document.mediaBox(pageIndex);
    if (media.isEmpty()) {
        return std::nullopt;
    }
    return QRectF(media.x(), media.y(), std::max(media.width(), 1.0), std::max(media.height(), 1.0));
}

}  // namespace

std::optional<PDFPageBitmapAnalyzer> PDFPageBitmapAnalyzer::create(const PDFDocument& document, int pageIndex,
                                                                   double pageWidth, double pageHeight,
                                                                   QImage& raster, const QRect& area)
{
    const std::optional<QSize> size = pixelSize(pageWidth, pageHeight);
    const std::optional<QRectF> box = drawnBox(document, pageIndex);
    if (!size || !box) {
        return std::nullopt;
    }
    const QRect part = area.intersected(QRect(QPoint(0, 0), *size));
    if (part.isEmpty() || !document.renderBoxInto(pageIndex, *box, *size, part, raster)) {
        return std::nullopt;
    }
    return PDFPageBitmapAnalyzer(raster, part.topLeft(), *size);
}

bool PDFPageBitmapAnalyzer::drawReadingText(const PDFDocument& document, int pageIndex, double pageWidth,
                                            double pageHeight, QImage& raster, const QRect& area, PDFPageText& text)
{
    const std::optional<QSize> size = pixelSize(pageWidth, pageHeight);
    const std::optional<QRectF> box = drawnBox(document, pageIndex);
    const QRect part = size ? area.intersected(QRect(QPoint(0, 0), *size)) : QRect();
    if (!box || part.isEmpty()) {
        text = document.pageText(pageIndex);
        return false;
    }
    return document.renderBoxReadingText(pageIndex, *box, *size, part, raster, text);
}

std::optional<PDFPageBitmapAnalyzer> PDFPageBitmapAnalyzer::overDrawn(const QImage& drawn, const QPoint& drawnAt,
                                                                      double pageWidth, double pageHeight,
                                                                      const QRect& area)
{
    const std::optional<QSize> size = pixelSize(pageWidth, pageHeight);
    if (!size || drawn.depth() != 32) {
        return std::nullopt;
    }
    const QRect part = area.intersected(QRect(QPoint(0, 0), *size));
    if (part.isEmpty() || !QRect(drawnAt, drawn.size()).contains(part)) {
        return std::nullopt;
    }
    // The part's pixels where they lie, without a copy.
    const QPoint at = part.topLeft() - drawnAt;
    const QImage pixels(drawn.constBits() + qsizetype(at.y()) * drawn.bytesPerLine() + qsizetype(at.x()) * 4,
                        part.width(), part.height(), drawn.bytesPerLine(), drawn.format());
    return PDFPageBitmapAnalyzer(pixels, part.topLeft(), *size);
}

std::optional<QSize> PDFPageBitmapAnalyzer::pixelSize(double pageWidth, double pageHeight)
{
    const double w = std::round(pageWidth * kScale);
    const double h = std::round(pageHeight * kScale);
    if (!std::isfinite(w) || !std::isfinite(h) || w * h > double(PDFDocument::kMaxRenderPixels)) {
        return std::nullopt;
    }
    return QSize(std::max(int(w), 16), std::max(int(h), 16));
}

namespace {

// The pixel window analysed for a region, bounds inclusive, on a bitmap of
// pixelW x pixelH.
QRect windowOf(const QRectF& rect, int pixelW, int pixelH)
{
    const double x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    const auto clampTo = [](double value, int low, int high) {
        if (!std::isfinite(value)) {
            return value > 0 ? high : low;
        }
        return int(std::max<double>(low, std::min<double>(value, high)));
    };
    const int minPX = std::max(0, clampTo(std::floor(2 * x), INT_MIN / 2, pixelW - 1));
    const int maxPX = std::max(minPX, clampTo(std::ceil(2 * (x + w)), INT_MIN / 2, pixelW - 1));
    const int minPY = std::max(0, clampTo(std::floor(2 * y), INT_MIN / 2, pixelH - 1));
    const int maxPY = std::max(minPY, clampTo(std::ceil(2 * (y + h)), INT_MIN / 2, pixelH - 1));
    return QRect(QPoint(minPX, minPY), QPoint(maxPX, maxPY));
}

}  // namespace

QRect PDFPageBitmapAnalyzer::pixelsUnder(const QSize& size, const QRectF& points)
{
    const QRect full(QPoint(0, 0), size);
    if (!std::isfinite(points.x()) || !std::isfinite(points.y()) || !std::isfinite(points.width())
        || !std::isfinite(points.height())) {
        return full;
    }
    // Every region inside has its window between the corners' windows.
    const QRect topLeft = windowOf(QRectF(points.topLeft(), QSizeF(0, 0)), size.width(), size.height());
    const QRect bottomRight = windowOf(QRectF(points.bottomRight(), QSizeF(0, 0)), size.width(), size.height());
    return QRect(topLeft.topLeft(), bottomRight.bottomRight()).intersected(full);
}

namespace {

// What the analysis gives when it finds no ink: the selection itself, with
// the baseline and cap height of a typical line of that height.
RegionMetrics selectionAsMeasured(const QRectF& rect, const QString& backgroundHex)
{
    RegionMetrics result;
    result.backgroundHex = backgroundHex;
    result.inkX = rect.x();
    result.inkY = rect.y();
    result.inkWidth = rect.width();
    result.inkHeight = rect.height();
    result.baselineY = rect.y() + 0.8 * rect.height();
    result.capHeight = 0.65 * rect.height();
    return result;
}

// Set bits of a 16-bit mask, inline (without a processor's population
// count, std::popcount is a library call).
int bitsOf16(unsigned mask)
{
    mask = mask - ((mask >> 1) & 0x5555u);
    mask = (mask & 0x3333u) + ((mask >> 2) & 0x3333u);
    mask = (mask + (mask >> 4)) & 0x0F0Fu;
    return int((mask + (mask >> 8)) & 0x1Fu);
}

// Set bits of a word, inline as bitsOf16.
int bitsOf64(std::uint64_t word)
{
    word = word - ((word >> 1) & 0x5555555555555555u);
    word = (word & 0x3333333333333333u) + ((word >> 2) & 0x3333333333333333u);
    word = (word + (word >> 4)) & 0x0F0F0F0F0F0F0F0Fu;
    return int((word * 0x0101010101010101u) >> 56);
}

// The sample among `lumas` that is the `skip`-th (from 0) of brightness
// `luma`, in order; nothing when there are not that many.
std::optional<qsizetype> nthOfBrightness(const std::uint8_t* lumas, qsizetype count, int luma, qsizetype skip)
{
    qsizetype i = 0;
#ifdef __SSE2__
    // Sixteen at a time while the one looked for lies further on.
    const __m128i wanted = _mm_set1_epi8(char(luma));
    for (; i + 16 <= count; i += 16) {
        const unsigned equal = unsigned(
            _mm_movemask_epi8(_mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(lumas + i)), wanted)));
        const int found = bitsOf16(equal);
        if (found > skip) {
            break;
        }
        skip -= found;
    }
#endif
    for (; i < count; ++i) {
        if (lumas[i] == luma && skip-- == 0) {
            return i;
        }
    }
    return std::nullopt;
}

// The paper colour: a grid of at most 49 x 17 samples in a stable sort by
// brightness, the one at 78 % on light paper, at 22 % on dark paper.
PaperColour paperColour(const PageRasterWindow& pixels)
{
    const QRect& window = pixels.window();
    const int stepX = std::max((window.right() - window.left()) / 48, 1);
    const int stepY = std::max((window.bottom() - window.top()) / 16, 1);
    const qsizetype perRow = (pixels.columns() - 1) / stepX + 1;
    const qsizetype rows = (window.bottom() - window.top()) / stepY + 1;
    // The samples' brightness, counted by value. Most samples show the
    // paper, pixel for pixel the same as the one before: each run of equal
    // pixels is worked out and counted once.
    QVarLengthArray<std::uint8_t, 1024> lumas(perRow * rows);
    std::array<int, 256> counts{};
    QRgb last = pixels.row(window.top())[0];
    int lastLuma = brightness(pixels.onPaper(last));
    int run = 0;
    qsizetype n = 0;
    for (int py = window.top(); py <= window.bottom(); py += stepY) {
        const QRgb* line = pixels.row(py);
        for (int i = 0; i < pixels.columns(); i += stepX, ++n) {
            if (line[i] != last) {
                counts[size_t(lastLuma)] += run;
                run = 0;
                last = line[i];
                lastLuma = brightness(pixels.onPaper(last));
            }
            lumas[n] = std::uint8_t(lastLuma);
            ++run;
        }
    }
    counts[size_t(lastLuma)] += run;
    const int medianLuma = valueOfRank(counts, n / 2);
    const qsizetype rank = percentile(n, medianLuma >= 110 ? 78 : 22);
    const int chosenLuma = valueOfRank(counts, rank);
    qsizetype darker = 0;
    for (int value = 0; value < chosenLuma; ++value) {
        darker += counts[size_t(value)];
    }
    // Among equally bright samples the sort keeps their order.
    const std::optional<qsizetype> chosen = nthOfBrightness(lumas.constData(), n, chosenLuma, rank - darker);
    if (!chosen) {
        return {255, 255, 255};
    }
    return pixels.onPaper(pixels.row(window.top() + int(*chosen / perRow) * stepY)[*chosen % perRow * stepX]);
}

// How many pixels of each row of the window are ink.
struct RowProfile {
    int firstRow = 0;
    std::vector<int> ink;
    int maxInk = 0;

    int inkOf(int py) const { return ink[size_t(py - firstRow)]; }
};

RowProfile rowProfile(const PaperDistances& distances, const QRect& window)
{
    RowProfile profile;
    profile.firstRow = window.top();
    profile.ink.resize(size_t(window.height()), 0);
    for (int py = window.top(); py <= window.bottom(); ++py) {
        const int count = distances.countAtLeast(py, kInk);
        profile.ink[size_t(py - window.top())] = count;
        profile.maxInk = std::max(profile.maxInk, count);
    }
    return profile;
}

// Runs of consecutive inked rows, top to bottom.
std::vector<VerticalBand> inkedBands(const RowProfile& profile)
{
    std::vector<VerticalBand> bands;
    for (size_t i = 0; i < profile.ink.size(); ++i) {
        const int ink = profile.ink[i];
        const int py = profile.firstRow + int(i);
        if (ink < 1) {
            continue;
        }
        if (!bands.empty() && bands.back().endPY == py - 1) {
            bands.back().endPY = py;
            bands.back().inkSum += ink;
        } else {
            bands.push_back({py, py, ink});
        }
    }
    return bands;
}

// Bands joined across thin gaps (an i's dot, an accent, a small part under
// a short band).
std::vector<VerticalBand> mergedAcrossThinGaps(const std::vector<VerticalBand>& bands)
{
    std::vector<VerticalBand> merged{bands.front()};
    for (size_t i = 1; i < bands.size(); ++i) {
        VerticalBand& last = merged.back();
        const VerticalBand& band = bands[i];
        const int gap = band.startPY - last.endPY - 1;
        const int lastH = last.height();
        const int bandH = band.height();
        const bool thin = gap <= 3 && !(gap == 3 && lastH >= 7 && bandH >= 5);
        const bool underSmall = (gap == 4 || gap == 5) && lastH <= 6;
        if (thin || underSmall) {
            last.endPY = band.endPY;
            last.inkSum += band.inkSum;
        } else {
            merged.push_back(band);
        }
    }
    return merged;
}

// The line's band: the heaviest near the window's centre, bands cut by the
// window's edges counting little when a whole line lies inside. Ties keep
// the upper band.
VerticalBand lineBand(const std::vector<VerticalBand>& merged, const QRect& window)
{
    const int minPY = window.top();
    const int maxPY = window.bottom();
    const auto touchesEdge = [&](const VerticalBand& band) {
        return band.startPY <= minPY + 1 || band.endPY >= maxPY - 1;
    };
    bool interior = false;
    for (const VerticalBand& band : merged) {
        if (band.startPY > minPY + 1 && band.endPY < maxPY - 1 && band.height() >= 4) {
            interior = true;
        }
    }
    const double center = (minPY + maxPY) / 2.0;
    const double half = std::max((maxPY - minPY) / 2.0, 1.0);
    const auto weight = [&](const VerticalBand& band) {
        const double f = interior && touchesEdge(band) ? 0.15 : 1.0;
        return f * double(band.inkSum) / (1 + 1.5 * std::abs(band.mid() - center) / half);
    };
    VerticalBand chosen = merged.front();
    double chosenWeight = weight(chosen);
    for (size_t i = 1; i < merged.size(); ++i) {
        const double candidate = weight(merged[i]);
        if (candidate > chosenWeight) {
            chosen = merged[i];
            chosenWeight = candidate;
        }
    }
    return chosen;
}

// A band too tall for the expected size holds two lines run together: it is
// cut at its lightest row away from its ends, and the half nearer the
// window's centre is kept.
VerticalBand separatedLine(const VerticalBand& band, const RowProfile& profile, const QRect& window,
                           double expectedFontSize)
{
    const double limitRows = std::max(std::ceil(expectedFontSize * 2 * 1.32), 24.0);
    if (double(band.height()) <= limitRows) {
        return band;
    }
    const int threshold = std::max(profile.maxInk / 14, 2);
    int cut = -1;
    int lightest = INT_MAX;
    if (band.startPY + 4 < band.endPY - 4) {
        for (int r = band.startPY + 4; r <= band.endPY - 4; ++r) {
            const int ink = profile.inkOf(r);
            if (ink <= threshold && ink < lightest) {
                lightest = ink;
                cut = r;
            }
        }
    }
    if (cut < 0) {
        return band;
    }
    const double center = (window.top() + window.bottom()) / 2.0;
    const VerticalBand upper{band.startPY, cut - 1, 0};
    const VerticalBand lower{cut + 1, band.endPY, 0};
    return std::abs(lower.mid() - center) < std::abs(upper.mid() - center) ? lower : upper;
}

// What the ink of the line's band shows: its rectangle, its masks and, for
// each column of the window, the rows its strong ink spans.
struct InkScan {
    int minX = INT_MAX, maxX = INT_MIN, minY = INT_MAX, maxY = INT_MIN;
    // The window's columns from minX to maxX, the first of which the column
    // extents start at.
    int firstColumn = 0, lastColumn = -1;
    std::vector<int> strongTop, strongBottom;
    // The band's ink masks (maskRows rows of `words` words from row
    // firstRow on), then its strong ink masks, then its stroke masks.
    std::unique_ptr<std::uint64_t[]> masks;
    int words = 0, firstRow = 0, maskRows = 0;
    bool empty() const { return maxX < minX || maxY < minY; }
    int rows() const { return maxY - minY + 1; }
    const std::uint64_t* strokeMasks() const { return masks.get() + 2 * size_t(maskRows) * size_t(words); }
};

// The set bits of `words` words from `mask`, as column indexes, in order.
template<typename Visit>
void forEachSet(const std::uint64_t* mask, int words, Visit visit)
{
    for (int w = 0; w < words; ++w) {
        for (std::uint64_t bits = mask[w]; bits != 0; bits &= bits - 1) {
            visit(size_t(w) * 64 + size_t(std::countr_zero(bits)));
        }
    }
}

// One row of the band into the scan: the ink rectangle; its ink, strong ink
// and stroke masks go to `ink`, `strong` and `stroke`.
void scanInkRow(const PageRasterWindow& pixels, const PaperDistances& distances, int py, std::uint64_t* ink,
                std::uint64_t* strong, std::uint64_t* stroke, InkScan& scan)
{
    const int words = distances.wordsPerRow();
    distances.masksAtLeast(py, {kInk, kStrongInk, kStroke}, {ink, strong, stroke});
    int first = -1, last = -1;
    for (int w = 0; w < words; ++w) {
        if (ink[w] != 0) {
            last = w * 64 + 63 - std::countl_zero(ink[w]);
            first = first < 0 ? w * 64 + std::countr_zero(ink[w]) : first;
        }
    }
    if (first < 0) {
        return;
    }
    const int minPX = pixels.window().left();
    scan.minX = std::min(scan.minX, minPX + first);
    scan.maxX = std::max(scan.maxX, minPX + last);
    scan.minY = std::min(scan.minY, py);
    scan.maxY = std::max(scan.maxY, py);
}

// Whether the line's horizontal stroke runs (pixels at least kStroke away,
// one after the other in a row) are wide for its ink's height: their median
// width at least a quarter of the ink rows, from 14 rows on. The median run
// (the first width at which more than half the runs, by integer halving,
// are no wider) reaches `wide` exactly when at most half of the runs are
// narrower than `wide`: the runs are counted, not measured one by one.
bool strokesLookBold(const InkScan& scan)
{
    const int inkRows = scan.rows();
    if (inkRows < 14) {
        return false;
    }
    // medianRun / inkRows >= 0.25, in integers.
    const int wide = (inkRows + 3) / 4;
    const int words = scan.words;
    const std::uint64_t* strokes = scan.strokeMasks();
    qsizetype runs = 0, wideRuns = 0;
    for (int r = 0; r < scan.maskRows; ++r) {
        const std::uint64_t* row = strokes + size_t(r) * size_t(words);
        // The 64 bits of the row from bit `at` on, 0 past its end.
        const auto bitsFrom = [&](int at) {
            const int w = at / 64, shift = at % 64;
            const std::uint64_t low = w < words ? row[w] : 0;
            if (shift == 0) {
                return low;
            }
            const std::uint64_t high = w + 1 < words ? row[w + 1] : 0;
            return low >> shift | high << (64 - shift);
        };
        std::uint64_t carry = 0;  // the last bit of the word before
        for (int w = 0; w < words; ++w) {
            const std::uint64_t word = row[w];
            std::uint64_t starts = word & ~(word << 1 | carry);
            carry = word >> 63;
            if (starts == 0) {
                continue;
            }
            runs += bitsOf64(starts);
            // Starts followed by wide - 1 more set bits; within the word and
            // the next one, shifted in place.
            const std::uint64_t next = w + 1 < words ? row[w + 1] : 0;
            for (int more = 1; more < wide && starts != 0; ++more) {
                starts &= more < 64 ? word >> more | next << (64 - more) : bitsFrom(w * 64 + more);
            }
            wideRuns += bitsOf64(starts);
        }
    }
    return runs > 0 && runs - wideRuns <= runs / 2;
}

// For each column, the first and last of `rows` rows of masks (from row
// firstRow on) that have its bit set; other columns keep their values.
// Only columns from `firstColumn` on, up to `lastColumn`, can have bits set;
// the extents start at `firstColumn`. Each block of 64 columns is followed
// down and up only as far as a column of it is still unseen.
void columnExtents(const std::uint64_t* masks, int rows, int words, int firstColumn, int lastColumn,
                   int firstRow, std::vector<int>& top, std::vector<int>& bottom)
{
    const int firstWord = firstColumn / 64, lastWord = lastColumn / 64;
    for (int w = firstWord; w <= lastWord; ++w) {
        const std::uint64_t* column = masks + w;
        // Column i of the block is extent[at + i].
        const std::ptrdiff_t at = std::ptrdiff_t(w) * 64 - firstColumn;
        std::uint64_t all = 0;
        for (int r = 0; r < rows; ++r) {
            all |= column[size_t(r) * size_t(words)];
        }
        std::uint64_t seen = 0;
        for (int r = 0; seen != all; ++r) {
            const std::uint64_t fresh = column[size_t(r) * size_t(words)] & ~seen;
            seen |= fresh;
            for (std::uint64_t bits = fresh; bits != 0; bits &= bits - 1) {
                top[size_t(at + std::countr_zero(bits))] = firstRow + r;
            }
        }
        seen = 0;
        for (int r = rows - 1; seen != all; --r) {
            const std::uint64_t fresh = column[size_t(r) * size_t(words)] & ~seen;
            seen |= fresh;
            for (std::uint64_t bits = fresh; bits != 0; bits &= bits - 1) {
                bottom[size_t(at + std::countr_zero(bits))] = firstRow + r;
            }
        }
    }
}

InkScan scanInk(const PageRasterWindow& pixels, const PaperDistances& distances, const VerticalBand& band)
{
    InkScan scan;
    const size_t words = size_t(distances.wordsPerRow());
    const size_t rowMasks = size_t(band.height()) * words;
    // The band's ink, strong ink and stroke masks, in one block.
    scan.masks = std::make_unique_for_overwrite<std::uint64_t[]>(3 * rowMasks);
    scan.words = int(words);
    scan.firstRow = band.startPY;
    scan.maskRows = band.height();
    std::uint64_t* const ink = scan.masks.get();
    std::uint64_t* const strong = ink + rowMasks;
    for (int py = band.startPY; py <= band.endPY; ++py) {
        const size_t at = size_t(py - band.startPY) * words;
        scanInkRow(pixels, distances, py, ink + at, strong + at, strong + rowMasks + at, scan);
    }
    if (scan.empty()) {
        return scan;
    }
    // No ink lies outside the ink rectangle's columns.
    scan.firstColumn = scan.minX - pixels.window().left();
    scan.lastColumn = scan.maxX - pixels.window().left();
    const size_t columns = size_t(scan.lastColumn - scan.firstColumn + 1);
    scan.strongTop.assign(columns, INT_MAX);
    scan.strongBottom.assign(columns, INT_MIN);
    columnExtents(strong, band.height(), int(words), scan.firstColumn, scan.lastColumn, band.startPY,
                  scan.strongTop, scan.strongBottom);
    return scan;
}

// The ink colour: the average of the strongest quarter of the sampled
// pixels in a stable sort, strongest first (in scan order among equally
// strong ones); near-black ink is written as a fixed dark grey.
std::optional<QString> inkColour(const PageRasterWindow& pixels, const PaperDistances& distances,
                                 const VerticalBand& band)
{
    // The band's pixels sampled for the ink colour (at least kSampledInk
    // away) that are at least `threshold` away.
    const auto samplesFrom = [&](int threshold) {
        return distances.countAtLeast(band.startPY, band.endPY, std::uint8_t(threshold));
    };
    const qsizetype sampleCount = samplesFrom(kSampledInk);
    if (sampleCount == 0) {
        return std::nullopt;
    }
    // The first k of the sort: every sample stronger than the k-th, then the
    // earliest of those as strong. The cutoff is the strongest distance at
    // least k samples reach, found by halving [kSampledInk, 255]: the counts
    // fall as the distance grows. Lines printed alike have the same cutoff,
    // so the last one this thread found, and the distance above it, are
    // tried first; any other way to the same distance gives the same cutoff.
    thread_local int lastCutoff = 255;
    const qsizetype k = std::max<qsizetype>(sampleCount / 4, 1);
    int cutoff = kSampledInk;
    // The weakest distance known to be reached by fewer than k, and by how many.
    int beyond = 256;
    qsizetype stronger = 0;
    const auto narrow = [&](int middle) {
        const qsizetype reaching = samplesFrom(middle);
        if (reaching >= k) {
            cutoff = middle;
        } else {
            beyond = middle;
            stronger = reaching;
        }
    };
    for (const int guess : {lastCutoff, lastCutoff + 1}) {
        if (cutoff < guess && guess < beyond) {
            narrow(guess);
        }
    }
    while (beyond - cutoff > 1) {
        narrow((cutoff + beyond) / 2);
    }
    lastCutoff = cutoff;
    qsizetype tied = k - stronger;
    qint64 sumR = 0, sumG = 0, sumB = 0;
    QVarLengthArray<std::uint64_t, 64> mask(distances.wordsPerRow());
    for (int py = band.startPY; py <= band.endPY; ++py) {
        distances.maskAtLeast(py, std::uint8_t(cutoff), mask.data());
        const QRgb* line = pixels.row(py);
        const std::uint8_t* apart = distances.row(py);
        forEachSet(mask.data(), distances.wordsPerRow(), [&](size_t i) {
            if (apart[i] == cutoff) {
                if (tied == 0) {
                    return;
                }
                --tied;
            }
            const PaperColour p = pixels.onPaper(line[i]);
            sumR += p.r;
            sumG += p.g;
            sumB += p.b;
        });
    }
    const int avgR = int(sumR / qint64(k)), avgG = int(sumG / qint64(k)), avgB = int(sumB / qint64(k));
    return avgR < 38 && avgG < 38 && avgB < 38 ? QStringLiteral("#111317") : hexOf(avgR, avgG, avgB);
}

// Stems: columns whose ink runs a good part of the line's height, counted
// by the row of their tops and of their bottoms; strong ink first, all ink
// when strong ink gives fewer than three.
struct Stems {
    int firstRow = 0;  // the row counted first
    QVarLengthArray<int, 128> tops, bottoms;
    qsizetype count = 0;

    // The value of rank k (from 0) of the counted rows.
    int ofRank(const QVarLengthArray<int, 128>& rows, qsizetype k) const
    {
        qsizetype seen = 0;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            seen += rows[i];
            if (seen > k) {
                return firstRow + int(i);
            }
        }
        return firstRow + int(rows.size()) - 1;
    }
};

Stems stemsOf(const InkScan& scan)
{
    const int minStem = std::max(int(double(std::max(scan.rows(), 1)) * 0.36), 2);
    Stems stems;
    stems.firstRow = scan.firstRow;
    stems.tops.resize(scan.maskRows);
    stems.bottoms.resize(scan.maskRows);
    const auto collect = [&](const std::vector<int>& top, const std::vector<int>& bottom) {
        std::fill(stems.tops.begin(), stems.tops.end(), 0);
        std::fill(stems.bottoms.begin(), stems.bottoms.end(), 0);
        stems.count = 0;
        for (size_t i = 0; i < top.size(); ++i) {
            if (top[i] <= bottom[i] && bottom[i] - top[i] + 1 >= minStem) {
                ++stems.tops[top[i] - scan.firstRow];
                ++stems.bottoms[bottom[i] - scan.firstRow];
                ++stems.count;
            }
        }
    };
    collect(scan.strongTop, scan.strongBottom);
    if (stems.count < 3) {
        // The rows all ink spans, only needed here.
        std::vector<int> top(scan.strongTop.size(), INT_MAX), bottom(scan.strongTop.size(), INT_MIN);
        columnExtents(scan.masks.get(), scan.maskRows, scan.words, scan.firstColumn, scan.lastColumn, scan.firstRow,
                      top, bottom);
        collect(top, bottom);
    }
    return stems;
}

// The metrics of the line's ink, in points: baseline from the stems'
// bottoms (lower when the text has descenders), cap top from their tops,
// boldness from the stroke runs.
RegionMetrics inkMetrics(const InkScan& scan, const Stems& stems, const QString& text)
{
    const int inkRows = scan.rows();
    int baselinePY = scan.maxY;
    const qsizetype stemCount = stems.count;
    if (stemCount > 0) {
        baselinePY = stems.ofRank(stems.bottoms, percentile(stemCount, hasDescender(text) ? 55 : 85));
    }
    int capTopPY = scan.minY;
    if (stemCount > 0) {
        capTopPY = stems.ofRank(stems.tops, percentile(stemCount, 12));
    }
    RegionMetrics result;
    result.looksBold = strokesLookBold(scan);
    result.inkX = scan.minX / 2.0;
    result.inkY = scan.minY / 2.0;
    result.inkWidth = std::max((scan.maxX - scan.minX + 1) / 2.0, 6.0);
    result.inkHeight = std::max(inkRows / 2.0, 6.0);
    result.baselineY = (baselinePY + 0.5) * 0.5;
    result.capHeight = std::max((baselinePY - capTopPY + 0.5) * 0.5, 4.0);
    result.capHeightReliable = hasCapitalOrDigit(text) && stemCount > 3;
    return result;
}

}  // namespace

RegionMetrics PDFPageBitmapAnalyzer::analyzeTextRegion(const QRectF& rect, const QString& text,
                                                       double expectedFontSize) const
{
    const QRect window = windowOf(rect, m_pageSize.width(), m_pageSize.height());
    if (!QRect(m_origin, m_image.size()).contains(window)) {
        return selectionAsMeasured(rect, hexOf(255, 255, 255));
    }
    const PageRasterWindow pixels(m_image, m_origin, window);
    pixels.prefetch();
    const PaperColour paper = paperColour(pixels);
    const QString backgroundHex = hexOf(paper.r, paper.g, paper.b);
    const PaperDistances distances(pixels, paper);

    const RowProfile profile = rowProfile(distances, window);
    const std::vector<VerticalBand> bands = inkedBands(profile);
    if (bands.empty()) {
        return selectionAsMeasured(rect, backgroundHex);
    }
    const VerticalBand line = separatedLine(lineBand(mergedAcrossThinGaps(bands), window), profile, window,
                                            expectedFontSize);

    InkScan scan = scanInk(pixels, distances, line);
    if (scan.empty()) {
        return selectionAsMeasured(rect, backgroundHex);
    }
    const Stems stems = stemsOf(scan);
    RegionMetrics result = inkMetrics(scan, stems, text);
    result.backgroundHex = backgroundHex;
    result.inkHex = inkColour(pixels, distances, line);
    return result;
}

QImage PDFPageBitmapAnalyzer::greyPicture(const QRectF& points) const
{
    const QRect window = QRect(QPoint(int(std::floor(points.left() * kScale)), int(std::floor(points.top() * kScale))),
                               QPoint(int(std::ceil(points.right() * kScale)) - 1,
                                      int(std::ceil(points.bottom() * kScale)) - 1))
                             .intersected(QRect(QPoint(0, 0), m_pageSize));
    if (window.isEmpty())
        return QImage();
    QImage picture(window.size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.drawImage(m_origin - window.topLeft(), m_image);
    }
    return picture.convertToFormat(QImage::Format_Grayscale8);
}

}  // namespace zelvane
