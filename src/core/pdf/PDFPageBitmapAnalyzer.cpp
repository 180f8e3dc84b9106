#include "pdf/PDFPageBitmapAnalyzer.h"

#include "pdf/PDFDocument.h"

#include <QPainter>
#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cmath>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace zelvane {

namespace {

struct Pixel {
    int r, g, b;
};

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

QString hexOf(int r, int g, int b)
{
    return QString::asprintf("#%02X%02X%02X", r, g, b);
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

// What white paper adds to each colour channel of a premultiplied pixel of
// alpha a drawn over it, rounded as Qt's raster engine rounds "source over".
struct WhiteUnder {
    std::array<int, 256> add{};
    constexpr WhiteUnder()
    {
        for (unsigned a = 0; a < 256; ++a) {
            const unsigned t = 255u * (255u - a);
            add[a] = int((t + ((t >> 8) & 0xffu) + 0x80u) >> 8);
        }
    }
};
constexpr WhiteUnder kWhiteUnder;
constexpr std::array<int, 256> kNothingUnder{};

// Which pixels of a row are ink: at least 22 away from the paper colour in
// some channel once drawn on white. The same test as distance(onPaper(...))
// >= 22 in analyzeTextRegion, four pixels at a time where the processor
// allows: white under a premultiplied pixel of alpha a adds exactly 255 - a
// to each channel, capped at 255.
class InkTest {
public:
    InkTest(const std::array<int, 256>& under, int r, int g, int b) : m_under(under), m_r(r), m_g(g), m_b(b)
    {
#ifdef __SSE2__
        m_paper = _mm_set1_epi32(int((unsigned(r) << 16) | (unsigned(g) << 8) | unsigned(b)));
        // Without white under the pixels, every pixel reads as opaque.
        m_opaque = _mm_set1_epi32(&under == &kWhiteUnder.add ? 0 : int(0xFF000000u));
#endif
    }

    bool isInk(QRgb value) const
    {
        const int add = m_under[size_t(qAlpha(value))];
        const int r = std::min(qRed(value) + add, 255);
        const int g = std::min(qGreen(value) + add, 255);
        const int b = std::min(qBlue(value) + add, 255);
        return std::max({std::abs(r - m_r), std::abs(g - m_g), std::abs(b - m_b)}) >= 22;
    }

    // How many of line[from, to) are ink.
    int count(const QRgb* line, int from, int to) const
    {
        int i = from;
        int inked = 0;
#ifdef __SSE2__
        for (; i + 4 <= to; i += 4) {
            // Set bits of 0-15, without needing a popcount instruction.
            constexpr std::array<int, 16> kBits{0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
            inked += kBits[inkOfFour(line + i)];
        }
#endif
        for (; i < to; ++i) {
            inked += isInk(line[i]) ? 1 : 0;
        }
        return inked;
    }

    // The first of line[from, to) that is ink, or `to`.
    int next(const QRgb* line, int from, int to) const
    {
        int i = from;
#ifdef __SSE2__
        for (; i + 4 <= to; i += 4) {
            if (const unsigned inked = inkOfFour(line + i)) {
                return i + std::countr_zero(inked);
            }
        }
#endif
        while (i < to && !isInk(line[i])) {
            ++i;
        }
        return i;
    }

private:
#ifdef __SSE2__
    // Bit k set when pixel k of the four is ink.
    unsigned inkOfFour(const QRgb* four) const
    {
        const __m128i pixels = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(four)), m_opaque);
        __m128i alpha = _mm_srli_epi32(pixels, 24);
        alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 8));
        alpha = _mm_or_si128(alpha, _mm_slli_epi32(alpha, 16));
        const __m128i onWhite = _mm_adds_epu8(pixels, _mm_xor_si128(alpha, _mm_set1_epi32(-1)));
        const __m128i apart =
            _mm_or_si128(_mm_subs_epu8(onWhite, m_paper), _mm_subs_epu8(m_paper, onWhite));
        const __m128i far = _mm_and_si128(_mm_subs_epu8(apart, _mm_set1_epi8(21)), _mm_set1_epi32(0x00FFFFFF));
        const __m128i near = _mm_cmpeq_epi32(far, _mm_setzero_si128());
        return ~unsigned(_mm_movemask_ps(_mm_castsi128_ps(near))) & 0xFu;
    }

    __m128i m_paper;
    __m128i m_opaque;
#endif
    const std::array<int, 256>& m_under;
    int m_r, m_g, m_b;
};

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

// The k-th element (from 0) of a list, as a full sort would place it.
int nthValue(std::vector<int>& values, size_t k)
{
    std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(k), values.end());
    return values[k];
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

std::optional<PDFPageBitmapAnalyzer> PDFPageBitmapAnalyzer::create(const PDFDocument& document, int pageIndex,
                                                                   double pageWidth, double pageHeight,
                                                                   QImage& raster, const QRect& area)
{
    const std::optional<QSize> size = pixelSize(pageWidth, pageHeight);
    if (!size) {
        return std::nullopt;
    }
    const QRectF media = document.mediaBox(pageIndex);
    if (media.isEmpty()) {
        return std::nullopt;
    }
    const QRectF box(media.x(), media.y(), std::max(media.width(), 1.0), std::max(media.height(), 1.0));
    // The box is drawn to fill the whole bitmap, its top at row 0.
    const QRect part = area.intersected(QRect(QPoint(0, 0), *size));
    if (part.isEmpty() || !document.renderBoxInto(pageIndex, box, *size, part, raster)) {
        return std::nullopt;
    }
    return PDFPageBitmapAnalyzer(raster, part.topLeft(), *size);
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

RegionMetrics PDFPageBitmapAnalyzer::analyzeTextRegion(const QRectF& rect, const QString& text,
                                                       double expectedFontSize) const
{
    const double x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();

    // 1. The pixel window, bounds inclusive.
    const QRect window = windowOf(rect, m_pageSize.width(), m_pageSize.height());
    const int minPX = window.left();
    const int maxPX = window.right();
    const int minPY = window.top();
    const int maxPY = window.bottom();

    RegionMetrics result;
    const auto fallback = [&] {
        result.inkHex.reset();
        result.inkX = x;
        result.inkY = y;
        result.inkWidth = w;
        result.inkHeight = h;
        result.baselineY = y + 0.8 * h;
        result.capHeight = 0.65 * h;
        result.capHeightReliable = false;
        result.looksBold = false;
        return result;
    };
    if (!QRect(m_origin, m_image.size()).contains(window)) {
        result.backgroundHex = hexOf(255, 255, 255);
        return fallback();
    }

    // Pixels as they show on white paper. A row starts at the window's left.
    const std::array<int, 256>& under =
        m_image.format() == QImage::Format_ARGB32_Premultiplied ? kWhiteUnder.add : kNothingUnder;
    const auto row = [this, minPX](int py) {
        return reinterpret_cast<const QRgb*>(m_image.constScanLine(py - m_origin.y())) + (minPX - m_origin.x());
    };
    const auto onPaper = [&under](QRgb value) {
        // Capped for pixels that are not validly premultiplied.
        const int add = under[size_t(qAlpha(value))];
        return Pixel{std::min(qRed(value) + add, 255), std::min(qGreen(value) + add, 255),
                     std::min(qBlue(value) + add, 255)};
    };

    // 2-3. The paper colour: a grid of samples sorted by brightness.
    struct Sample {
        int luma, r, g, b;
    };
    std::vector<Sample> samples;
    const int stepX = std::max((maxPX - minPX) / 48, 1);
    const int stepY = std::max((maxPY - minPY) / 16, 1);
    samples.reserve(size_t((maxPX - minPX) / stepX + 1) * size_t((maxPY - minPY) / stepY + 1));
    for (int py = minPY; py <= maxPY; py += stepY) {
        const QRgb* line = row(py);
        for (int px = minPX; px <= maxPX; px += stepX) {
            const Pixel p = onPaper(line[px - minPX]);
            samples.push_back({luma(p.r, p.g, p.b), p.r, p.g, p.b});
        }
    }
    Pixel background{255, 255, 255};
    if (!samples.empty()) {
        // The samples in a stable sort by brightness, found by counting.
        std::array<int, 256> counts{};
        for (const Sample& sample : samples) {
            ++counts[size_t(sample.luma)];
        }
        const qsizetype n = qsizetype(samples.size());
        const int medianLuma = valueOfRank(counts, n / 2);
        const qsizetype rank = percentile(n, medianLuma >= 110 ? 78 : 22);
        const int chosenLuma = valueOfRank(counts, rank);
        qsizetype darker = 0;
        for (int value = 0; value < chosenLuma; ++value) {
            darker += counts[size_t(value)];
        }
        // Among equally bright samples the sort keeps their order.
        qsizetype skip = rank - darker;
        for (const Sample& sample : samples) {
            if (sample.luma == chosenLuma && skip-- == 0) {
                background = {sample.r, sample.g, sample.b};
                break;
            }
        }
    }
    const auto distance = [&background](const Pixel& p) {
        return std::max({std::abs(p.r - background.r), std::abs(p.g - background.g), std::abs(p.b - background.b)});
    };

    result.backgroundHex = hexOf(background.r, background.g, background.b);

    // 4. Row profile.
    const InkTest inkTest(under, background.r, background.g, background.b);
    const int rows = maxPY - minPY + 1;
    const int columns = maxPX - minPX + 1;
    std::vector<int> rowInk(size_t(rows), 0);
    int maxRowInk = 0;
    for (int py = minPY; py <= maxPY; ++py) {
        const QRgb* line = row(py);
        const int count = inkTest.count(line, 0, columns);
        rowInk[size_t(py - minPY)] = count;
        maxRowInk = std::max(maxRowInk, count);
    }

    // 5. Bands of consecutive inked rows.
    std::vector<VerticalBand> bands;
    for (int py = minPY; py <= maxPY; ++py) {
        const int ink = rowInk[size_t(py - minPY)];
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
    if (bands.empty()) {
        return fallback();
    }

    // 6. Merge bands across thin gaps (an i's dot, an accent).
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

    // 7-8. The line's band: heaviest near the window's centre, lines cut by
    // the window's edges counting little when a whole line lies inside.
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

    // 9. Two lines run together: cut at the lightest row and keep the half
    // nearer the centre.
    const double limitRows = std::max(std::ceil(expectedFontSize * 2 * 1.32), 24.0);
    if (double(chosen.height()) > limitRows) {
        const int threshold = std::max(maxRowInk / 14, 2);
        int cut = -1;
        int lightest = INT_MAX;
        if (chosen.startPY + 4 < chosen.endPY - 4) {
            for (int r = chosen.startPY + 4; r <= chosen.endPY - 4; ++r) {
                const int ink = rowInk[size_t(r - minPY)];
                if (ink <= threshold && ink < lightest) {
                    lightest = ink;
                    cut = r;
                }
            }
        }
        if (cut >= 0) {
            const VerticalBand upper{chosen.startPY, cut - 1, 0};
            const VerticalBand lower{cut + 1, chosen.endPY, 0};
            chosen = std::abs(lower.mid() - center) < std::abs(upper.mid() - center) ? lower : upper;
        }
    }

    // 10. Ink pass over the band.
    int inkMinX = INT_MAX, inkMaxX = INT_MIN, inkMinY = INT_MAX, inkMaxY = INT_MIN;
    std::vector<int> colTop(size_t(columns), INT_MAX), colBottom(size_t(columns), INT_MIN);
    std::vector<int> strongTop(size_t(columns), INT_MAX), strongBottom(size_t(columns), INT_MIN);
    std::vector<int> runs;
    struct InkSample {
        int dist, r, g, b;
    };
    std::vector<InkSample> inkSamples;
    for (int py = chosen.startPY; py <= chosen.endPY; ++py) {
        const QRgb* line = row(py);
        QRgb last = line[0];
        Pixel lastPixel = onPaper(last);
        int lastDistance = distance(lastPixel);
        int run = 0;
        const auto closeRun = [&] {
            if (run >= 1) {
                runs.push_back(run);
            }
            run = 0;
        };
        for (int px = minPX; px <= maxPX; ++px) {
            if (line[px - minPX] != last) {
                last = line[px - minPX];
                lastPixel = onPaper(last);
                lastDistance = distance(lastPixel);
            }
            const Pixel& p = lastPixel;
            const int dist = lastDistance;
            if (dist < 22) {
                closeRun();
                // On to the next ink.
                px = minPX + inkTest.next(line, px - minPX + 1, columns) - 1;
                continue;
            }
            const size_t i = size_t(px - minPX);
            inkMinX = std::min(inkMinX, px);
            inkMaxX = std::max(inkMaxX, px);
            inkMinY = std::min(inkMinY, py);
            inkMaxY = std::max(inkMaxY, py);
            colTop[i] = std::min(colTop[i], py);
            colBottom[i] = std::max(colBottom[i], py);
            if (dist >= 48) {
                strongTop[i] = std::min(strongTop[i], py);
                strongBottom[i] = std::max(strongBottom[i], py);
            }
            if (dist < 45) {
                closeRun();
            } else {
                ++run;
                if (dist >= 55) {
                    inkSamples.push_back({dist, p.r, p.g, p.b});
                }
            }
        }
        closeRun();
    }
    if (inkMaxX < inkMinX || inkMaxY < inkMinY) {
        return fallback();
    }

    // 12. Ink colour: the average of the strongest quarter.
    if (!inkSamples.empty()) {
        // The first k of a stable sort, strongest first: every sample
        // stronger than the k-th, then the earliest of those as strong.
        const size_t k = std::max<size_t>(inkSamples.size() / 4, 1);
        std::array<int, 256> counts{};
        for (const InkSample& sample : inkSamples) {
            ++counts[size_t(sample.dist)];
        }
        int cutoff = 255;
        size_t stronger = 0;
        while (stronger + size_t(counts[size_t(cutoff)]) < k) {
            stronger += size_t(counts[size_t(cutoff)]);
            --cutoff;
        }
        size_t tied = k - stronger;
        qint64 sumR = 0, sumG = 0, sumB = 0;
        for (const InkSample& sample : inkSamples) {
            bool taken = sample.dist > cutoff;
            if (!taken && sample.dist == cutoff && tied > 0) {
                taken = true;
                --tied;
            }
            if (taken) {
                sumR += sample.r;
                sumG += sample.g;
                sumB += sample.b;
            }
        }
        const int avgR = int(sumR / qint64(k)), avgG = int(sumG / qint64(k)), avgB = int(sumB / qint64(k));
        result.inkHex = avgR < 38 && avgG < 38 && avgB < 38 ? QStringLiteral("#111317") : hexOf(avgR, avgG, avgB);
    }

    // 13. Stems: columns whose ink runs a good part of the line's height.
    const int inkRows = inkMaxY - inkMinY + 1;
    const int minStem = std::max(int(double(std::max(inkRows, 1)) * 0.36), 2);
    std::vector<int> tops, bottoms;
    const auto collectStems = [&](const std::vector<int>& top, const std::vector<int>& bottom) {
        for (size_t i = 0; i < top.size(); ++i) {
            if (top[i] <= bottom[i] && bottom[i] - top[i] + 1 >= minStem) {
                bottoms.push_back(bottom[i]);
                tops.push_back(top[i]);
            }
        }
    };
    collectStems(strongTop, strongBottom);
    if (bottoms.size() < 3) {
        tops.clear();
        bottoms.clear();
        collectStems(colTop, colBottom);
    }

    // 14-15. Metrics.
    int baselinePY = inkMaxY;
    const size_t stems = bottoms.size();
    if (!bottoms.empty()) {
        baselinePY = nthValue(bottoms, size_t(percentile(qsizetype(bottoms.size()), hasDescender(text) ? 55 : 85)));
    }
    int capTopPY = inkMinY;
    if (!tops.empty()) {
        capTopPY = nthValue(tops, size_t(percentile(qsizetype(tops.size()), 12)));
    }
    const int medianRun = runs.empty() ? 0 : nthValue(runs, runs.size() / 2);
    result.looksBold = inkRows >= 14 && double(medianRun) / double(std::max(inkRows, 1)) >= 0.25;
    result.inkX = inkMinX / 2.0;
    result.inkY = inkMinY / 2.0;
    result.inkWidth = std::max((inkMaxX - inkMinX + 1) / 2.0, 6.0);
    result.inkHeight = std::max(inkRows / 2.0, 6.0);
    result.baselineY = (baselinePY + 0.5) * 0.5;
    result.capHeight = std::max((baselinePY - capTopPY + 0.5) * 0.5, 4.0);
    result.capHeightReliable = hasCapitalOrDigit(text) && stems > 3;
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
