#include "pdf/PDFPageBitmapAnalyzer.h"

#include "pdf/PDFDocument.h"

#include <QPainter>
#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

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

}  // namespace

PDFPageBitmapAnalyzer::PDFPageBitmapAnalyzer(const QImage& page)
{
    m_image = QImage(page.size(), QImage::Format_RGB32);
    m_image.fill(Qt::white);
    QPainter painter(&m_image);
    painter.drawImage(0, 0, page);
}

std::optional<PDFPageBitmapAnalyzer> PDFPageBitmapAnalyzer::create(const PDFDocument& document, int pageIndex,
                                                                   double pageWidth, double pageHeight, int rotation)
{
    if (rotation % 360 != 0) {
        const bool sideways = rotation % 180 != 0;
        auto unturned = create(document, pageIndex, sideways ? pageHeight : pageWidth,
                               sideways ? pageWidth : pageHeight);
        if (!unturned) {
            return std::nullopt;
        }
        // Quarter turns move whole pixels.
        return PDFPageBitmapAnalyzer(unturned->m_image.transformed(QTransform().rotate(rotation)));
    }
    const double w = std::round(pageWidth * kScale);
    const double h = std::round(pageHeight * kScale);
    if (!std::isfinite(w) || !std::isfinite(h) || w * h > double(PDFDocument::kMaxRenderPixels)) {
        return std::nullopt;
    }
    const QSize size(std::max(int(w), 16), std::max(int(h), 16));
    const QRectF media = document.mediaBox(pageIndex);
    if (media.isEmpty()) {
        return std::nullopt;
    }
    const QRectF box(media.x(), media.y(), std::max(media.width(), 1.0), std::max(media.height(), 1.0));
    // The box is drawn to fill the whole bitmap, its top at row 0.
    const QImage rendered = document.renderBox(pageIndex, box, size);
    if (rendered.isNull()) {
        return std::nullopt;
    }
    return PDFPageBitmapAnalyzer(rendered);
}

RegionMetrics PDFPageBitmapAnalyzer::analyzeTextRegion(const QRectF& rect, const QString& text,
                                                       double expectedFontSize) const
{
    const int pixelW = m_image.width();
    const int pixelH = m_image.height();
    const double x = rect.x(), y = rect.y(), w = rect.width(), h = rect.height();
    const auto clampTo = [](double value, int low, int high) {
        if (!std::isfinite(value)) {
            return value > 0 ? high : low;
        }
        return int(std::max<double>(low, std::min<double>(value, high)));
    };

    // 1. The pixel window, bounds inclusive.
    const int minPX = std::max(0, clampTo(std::floor(2 * x), INT_MIN / 2, pixelW - 1));
    const int maxPX = std::max(minPX, clampTo(std::ceil(2 * (x + w)), INT_MIN / 2, pixelW - 1));
    const int minPY = std::max(0, clampTo(std::floor(2 * y), INT_MIN / 2, pixelH - 1));
    const int maxPY = std::max(minPY, clampTo(std::ceil(2 * (y + h)), INT_MIN / 2, pixelH - 1));

    const auto pixel = [this](int px, int py) {
        const QRgb value = reinterpret_cast<const QRgb*>(m_image.constScanLine(py))[px];
        return Pixel{qRed(value), qGreen(value), qBlue(value)};
    };

    // 2-3. The paper colour: a grid of samples sorted by brightness.
    struct Sample {
        int luma, r, g, b;
    };
    std::vector<Sample> samples;
    const int stepX = std::max((maxPX - minPX) / 48, 1);
    const int stepY = std::max((maxPY - minPY) / 16, 1);
    for (int py = minPY; py <= maxPY; py += stepY) {
        for (int px = minPX; px <= maxPX; px += stepX) {
            const Pixel p = pixel(px, py);
            samples.push_back({luma(p.r, p.g, p.b), p.r, p.g, p.b});
        }
    }
    Pixel background{255, 255, 255};
    if (!samples.empty()) {
        std::stable_sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.luma < b.luma; });
        const qsizetype n = qsizetype(samples.size());
        const int medianLuma = samples[size_t(n / 2)].luma;
        const Sample& chosen = samples[size_t(percentile(n, medianLuma >= 110 ? 78 : 22))];
        background = {chosen.r, chosen.g, chosen.b};
    }
    const auto distance = [&background](const Pixel& p) {
        return std::max({std::abs(p.r - background.r), std::abs(p.g - background.g), std::abs(p.b - background.b)});
    };

    RegionMetrics result;
    result.backgroundHex = hexOf(background.r, background.g, background.b);
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

    // 4. Row profile.
    const int rows = maxPY - minPY + 1;
    const int columns = maxPX - minPX + 1;
    std::vector<int> rowInk(size_t(rows), 0);
    int maxRowInk = 0;
    for (int py = minPY; py <= maxPY; ++py) {
        int count = 0;
        for (int px = minPX; px <= maxPX; ++px) {
            if (distance(pixel(px, py)) >= 22) {
                ++count;
            }
        }
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
        int run = 0;
        const auto closeRun = [&] {
            if (run >= 1) {
                runs.push_back(run);
            }
            run = 0;
        };
        for (int px = minPX; px <= maxPX; ++px) {
            const Pixel p = pixel(px, py);
            const int dist = distance(p);
            if (dist < 22) {
                closeRun();
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
        std::stable_sort(inkSamples.begin(), inkSamples.end(),
                         [](const InkSample& a, const InkSample& b) { return a.dist > b.dist; });
        const size_t k = std::max<size_t>(inkSamples.size() / 4, 1);
        qint64 sumR = 0, sumG = 0, sumB = 0;
        for (size_t i = 0; i < k; ++i) {
            sumR += inkSamples[i].r;
            sumG += inkSamples[i].g;
            sumB += inkSamples[i].b;
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
    if (!bottoms.empty()) {
        std::sort(bottoms.begin(), bottoms.end());
        baselinePY = bottoms[size_t(percentile(qsizetype(bottoms.size()), hasDescender(text) ? 55 : 85))];
    }
    int capTopPY = inkMinY;
    if (!tops.empty()) {
        std::sort(tops.begin(), tops.end());
        capTopPY = tops[size_t(percentile(qsizetype(tops.size()), 12))];
    }
    std::sort(runs.begin(), runs.end());
    const int medianRun = runs.empty() ? 0 : runs[runs.size() / 2];
    result.looksBold = inkRows >= 14 && double(medianRun) / double(std::max(inkRows, 1)) >= 0.25;
    result.inkX = inkMinX / 2.0;
    result.inkY = inkMinY / 2.0;
    result.inkWidth = std::max((inkMaxX - inkMinX + 1) / 2.0, 6.0);
    result.inkHeight = std::max(inkRows / 2.0, 6.0);
    result.baselineY = (baselinePY + 0.5) * 0.5;
    result.capHeight = std::max((baselinePY - capTopPY + 0.5) * 0.5, 4.0);
    result.capHeightReliable = hasCapitalOrDigit(text) && bottoms.size() > 3;
    return result;
}

}  // namespace zelvane
