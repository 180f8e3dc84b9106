#include "pdf/PDFDocument.h"
#include "pdf/PDFPageBitmapAnalyzer.h"
#include "core/support/TestPDF.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <algorithm>
#include <map>
#include <optional>
#include <vector>

using namespace zelvane;

namespace {

// A page of 200 x 100 points at twice its size, on the given paper.
QImage paper(QColor color = Qt::white)
{
    QImage image(400, 200, QImage::Format_RGB32);
    image.fill(color);
    return image;
}

// Draws "letters" as solid stems: vertical bars of the given pixel height
// standing on a baseline row, each 3 pixels wide and 5 apart.
void drawStems(QImage& image, int left, int baselineRow, int height, int count, QColor color)
{
    QPainter painter(&image);
    for (int i = 0; i < count; ++i) {
        painter.fillRect(QRect(left + i * 8, baselineRow - height + 1, 3, height), color);
    }
}

}  // namespace

TEST(PDFPageBitmapAnalyzerTest, BlankPaperGivesTheSelectionBack)
{
    const PDFPageBitmapAnalyzer analyzer(paper());
    const RegionMetrics metrics = analyzer.analyzeTextRegion(QRectF(10, 20, 80, 10), "Hello", 10);
    EXPECT_EQ(metrics.backgroundHex, QStringLiteral("#FFFFFF"));
    EXPECT_FALSE(metrics.inkHex.has_value());
    EXPECT_EQ(metrics.inkX, 10);
    EXPECT_EQ(metrics.inkY, 20);
    EXPECT_EQ(metrics.inkWidth, 80);
    EXPECT_EQ(metrics.inkHeight, 10);
    EXPECT_DOUBLE_EQ(metrics.baselineY, 28);
    EXPECT_DOUBLE_EQ(metrics.capHeight, 6.5);
    EXPECT_FALSE(metrics.capHeightReliable);
    EXPECT_FALSE(metrics.looksBold);
}

TEST(PDFPageBitmapAnalyzerTest, MeasuresInkBaselineAndCapHeight)
{
    QImage image = paper();
    // Stems 20 pixels (10 pt) tall standing on row 59 (baseline 30 pt).
    drawStems(image, 40, 59, 20, 10, Qt::black);
    const PDFPageBitmapAnalyzer analyzer(image);
    const RegionMetrics metrics = analyzer.analyzeTextRegion(QRectF(15, 15, 80, 20), "HELLO 42", 10);
    EXPECT_EQ(metrics.inkHex, QStringLiteral("#111317"));  // near-black ink is written as dark grey
    EXPECT_DOUBLE_EQ(metrics.inkX, 20);
    EXPECT_DOUBLE_EQ(metrics.inkY, 20);
    EXPECT_DOUBLE_EQ(metrics.inkWidth, 37.5);
    EXPECT_DOUBLE_EQ(metrics.inkHeight, 10);
    EXPECT_DOUBLE_EQ(metrics.baselineY, 29.75);
    EXPECT_DOUBLE_EQ(metrics.capHeight, 9.75);
    EXPECT_TRUE(metrics.capHeightReliable);
    // Lower-case text has no reliable cap height.
    EXPECT_FALSE(analyzer.analyzeTextRegion(QRectF(15, 15, 80, 20), "hello", 10).capHeightReliable);
}

TEST(PDFPageBitmapAnalyzerTest, ColouredInkAndDarkPaper)
{
    QImage red = paper();
    drawStems(red, 40, 59, 20, 6, QColor(255, 0, 0));
    EXPECT_EQ(PDFPageBitmapAnalyzer(red).analyzeTextRegion(QRectF(15, 15, 80, 20), "Red", 10).inkHex,
              QStringLiteral("#FF0000"));

    QImage box = paper();
    {
        QPainter painter(&box);
        painter.fillRect(QRect(0, 0, 400, 200), QColor(0x1E, 0x3A, 0x8A));
    }
    drawStems(box, 40, 59, 20, 4, Qt::white);
    const RegionMetrics metrics = PDFPageBitmapAnalyzer(box).analyzeTextRegion(QRectF(15, 15, 80, 20), "Dark", 10);
    EXPECT_EQ(metrics.backgroundHex, QStringLiteral("#1E3A8A"));
    EXPECT_EQ(metrics.inkHex, QStringLiteral("#FFFFFF"));
}

TEST(PDFPageBitmapAnalyzerTest, ChoosesTheMiddleLineAndMergesDots)
{
    QImage image = paper();
    // The bottom of the line above, the line itself and the top of the line below.
    drawStems(image, 40, 33, 8, 10, Qt::black);   // rows 26..33, touches the window's top edge
    drawStems(image, 40, 71, 20, 4, Qt::black);   // rows 52..71, the line
    drawStems(image, 40, 95, 10, 10, Qt::black);  // rows 86..95, touches the bottom edge
    // An i's dot two empty rows above a stem.
    {
        QPainter painter(&image);
        painter.fillRect(QRect(72, 48, 3, 2), Qt::black);
    }
    const PDFPageBitmapAnalyzer analyzer(image);
    const RegionMetrics metrics = analyzer.analyzeTextRegion(QRectF(15, 14, 80, 33), "Line", 10);
    EXPECT_DOUBLE_EQ(metrics.inkY, 24);  // the dot's row 48, merged into the line
    EXPECT_DOUBLE_EQ(metrics.baselineY, 35.75);
}

TEST(PDFPageBitmapAnalyzerTest, BoldStrokesAndMinimumSizes)
{
    QImage bold = paper();
    {
        QPainter painter(&bold);
        for (int i = 0; i < 5; ++i) {
            painter.fillRect(QRect(40 + i * 20, 40, 10, 20), Qt::black);  // runs half the ink height
        }
    }
    EXPECT_TRUE(PDFPageBitmapAnalyzer(bold).analyzeTextRegion(QRectF(15, 15, 80, 20), "BOLD", 10).looksBold);

    QImage small = paper();
    drawStems(small, 40, 47, 8, 5, Qt::black);
    const RegionMetrics metrics = PDFPageBitmapAnalyzer(small).analyzeTextRegion(QRectF(15, 15, 80, 15), "abc", 5);
    EXPECT_DOUBLE_EQ(metrics.inkHeight, 6.0);
    EXPECT_FALSE(metrics.looksBold);
}

TEST(PDFPageBitmapAnalyzerTest, StrokeRunsAndInkSpanBlocksOfColumns)
{
    // The window starts at pixel 30: strokes six pixels wide across its
    // 64th column, and one across its 128th, are single runs.
    QImage strokes = paper();
    {
        QPainter painter(&strokes);
        painter.fillRect(QRect(30 + 61, 40, 6, 16), Qt::black);
        painter.fillRect(QRect(30 + 125, 40, 6, 16), Qt::black);
        painter.fillRect(QRect(30 + 16 * 3 - 3, 40, 6, 16), Qt::black);
    }
    const RegionMetrics metrics =
        PDFPageBitmapAnalyzer(strokes).analyzeTextRegion(QRectF(15, 15, 80, 20), "III", 10);
    EXPECT_TRUE(metrics.looksBold);
    EXPECT_DOUBLE_EQ(metrics.inkX, (30 + 45) / 2.0);
    EXPECT_DOUBLE_EQ(metrics.inkWidth, (125 - 45 + 6) / 2.0);
    EXPECT_DOUBLE_EQ(metrics.inkY, 20);
    EXPECT_DOUBLE_EQ(metrics.inkHeight, 8);
}

TEST(PDFPageBitmapAnalyzerTest, RendersAPDFPageAtTwiceItsSize)
{
    const QByteArray pdf = zelvane::testing::makeFilledTestPDF(8, 6, QColor(200, 0, 0));
    const auto document = PDFDocument::open(pdf);
    ASSERT_TRUE(document);
    const auto tiny = PDFPageBitmapAnalyzer::create(*document, 0, 8, 6);
    ASSERT_TRUE(tiny);
    EXPECT_EQ(tiny->pixelWidth(), 16);
    EXPECT_EQ(tiny->pixelHeight(), 16);
    const auto page = PDFPageBitmapAnalyzer::create(*document, 0, 64, 64);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->pixelWidth(), 128);
    EXPECT_EQ(page->analyzeTextRegion(QRectF(10, 10, 20, 20), "x", 10).backgroundHex, QStringLiteral("#C80000"));
    EXPECT_FALSE(PDFPageBitmapAnalyzer::create(*document, 3, 64, 64));
    // A raster beyond the render limit is not made.
    EXPECT_FALSE(PDFPageBitmapAnalyzer::create(*document, 0, 10000, 10000));
}

TEST(PDFPageBitmapAnalyzerTest, InkColourIsTheStrongestQuarterOfTheSamplesInScanOrder)
{
    // Ink scattered over every row of the window at a few distances from
    // the paper, pixels of one distance in different colours: the ink colour
    // averages the first quarter of the sampled pixels (at least 55 away)
    // sorted strongest first, pixels equally strong in scan order.
    const int distances[] = {25, 55, 56, 90, 140, 200, 201, 254, 255};
    quint32 seed = 49;
    const auto next = [&](quint32 below) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 8) % below;
    };
    for (int round = 0; round < 60; ++round) {
        QImage image = paper();
        const QRect window(30, 30, 161, 25);  // windowOf(15, 15, 80, 12)
        const int inkPerRow = 1 + int(next(round % 3 == 0 ? 3 : 12));
        for (int py = window.top(); py <= window.bottom(); ++py) {
            for (int n = 0; n < inkPerRow; ++n) {
                const int d = round % 5 == 0 ? 255 : distances[next(std::size(distances))];
                const int low = 255 - d;
                int channels[3] = {low + int(next(quint32(d + 1))), low + int(next(quint32(d + 1))),
                                   low + int(next(quint32(d + 1)))};
                channels[next(3)] = low;
                image.setPixel(window.left() + int(next(quint32(window.width()))), py,
                               qRgb(channels[0], channels[1], channels[2]));
            }
        }
        struct Sample {
            int distance;
            QRgb colour;
        };
        std::vector<Sample> samples;
        for (int py = window.top(); py <= window.bottom(); ++py) {
            for (int px = window.left(); px <= window.right(); ++px) {
                const QRgb p = image.pixel(px, py);
                const int d = 255 - std::min({qRed(p), qGreen(p), qBlue(p)});
                if (d >= 55)
                    samples.push_back({d, p});
            }
        }
        std::stable_sort(samples.begin(), samples.end(),
                         [](const Sample& a, const Sample& b) { return a.distance > b.distance; });
        std::optional<QString> expected;
        if (!samples.empty()) {
            const qint64 k = std::max<qint64>(qint64(samples.size()) / 4, 1);
            qint64 r = 0, g = 0, b = 0;
            for (qint64 i = 0; i < k; ++i) {
                r += qRed(samples[size_t(i)].colour);
                g += qGreen(samples[size_t(i)].colour);
                b += qBlue(samples[size_t(i)].colour);
            }
            r /= k, g /= k, b /= k;
            expected = r < 38 && g < 38 && b < 38
                           ? QStringLiteral("#111317")
                           : QString::asprintf("#%02X%02X%02X", int(r), int(g), int(b));
        }
        const RegionMetrics metrics = PDFPageBitmapAnalyzer(image).analyzeTextRegion(QRectF(15, 15, 80, 12), "ink", 10);
        EXPECT_EQ(metrics.backgroundHex, QStringLiteral("#FFFFFF")) << "round " << round;
        EXPECT_EQ(metrics.inkHex, expected) << "round " << round << ", " << samples.size() << " samples";
    }
}

TEST(PDFPageBitmapAnalyzerTest, StrokesLookBoldWhenTheirMedianRunIsAQuarterOfTheInkHeight)
{
    // Rows of black runs of random widths, some cut by light grey ink that
    // is no stroke, over 12 to 28 inked rows: bold exactly when the median
    // width of the runs (the first width more than half of them, by integer
    // halving, do not exceed) is at least a quarter of the inked rows, from
    // 14 rows on.
    quint32 seed = 14;
    const auto next = [&](quint32 below) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % below);
    };
    int bold = 0, plain = 0;
    for (int round = 0; round < 200; ++round) {
        QImage image = paper();
        const int rows = 12 + round % 17;
        const QRect window(30, 30, 181, rows + 1);  // windowOf(15, 15, 90, rows / 2)
        const int widest = 2 + next(24);
        for (int py = window.top(); py < window.top() + rows; ++py) {
            int px = window.left() + next(8);
            for (int n = 0; n < 2 && px < window.right(); ++n) {
                const int width = 1 + next(quint32(widest));
                for (int i = 0; i < width && px <= window.right(); ++i, ++px) {
                    image.setPixel(px, py, next(9) == 0 ? qRgb(225, 225, 225) : qRgb(0, 0, 0));
                }
                px += 3 + next(40);
            }
        }
        std::map<int, qsizetype> widths;
        qsizetype runs = 0;
        for (int py = window.top(); py <= window.bottom(); ++py) {
            int run = 0;
            for (int px = window.left(); px <= window.right() + 1; ++px) {
                if (px <= window.right() && qRed(image.pixel(px, py)) == 0) {
                    ++run;
                } else if (run > 0) {
                    ++widths[run];
                    ++runs;
                    run = 0;
                }
            }
        }
        int median = 0;
        qsizetype seen = 0;
        for (const auto& [width, count] : widths) {
            seen += count;
            if (seen > runs / 2) {
                median = width;
                break;
            }
        }
        const bool expected = rows >= 14 && double(median) / double(rows) >= 0.25;
        (expected ? bold : plain) += 1;
        const RegionMetrics metrics =
            PDFPageBitmapAnalyzer(image).analyzeTextRegion(QRectF(15, 15, 90, rows / 2.0), "ink", 30);
        ASSERT_EQ(metrics.backgroundHex, QStringLiteral("#FFFFFF")) << "round " << round;
        ASSERT_DOUBLE_EQ(metrics.inkHeight, std::max(rows / 2.0, 6.0)) << "round " << round;
        EXPECT_EQ(metrics.looksBold, expected) << "round " << round << ", " << rows << " rows, median " << median;
    }
    EXPECT_GT(bold, 20);
    EXPECT_GT(plain, 20);
}

TEST(PDFPageBitmapAnalyzerTest, BaselineAndCapTopAreRanksOfTheStemsBottomsAndTops)
{
    // Upright strokes of random lengths, one spanning every inked row: the
    // strokes at least 36 % of the inked rows long are stems; the baseline
    // is their bottom of rank 85 % (55 % for text with descenders), the cap
    // top their top of rank 12 %, counting from the highest.
    quint32 seed = 85;
    const auto next = [&](quint32 below) {
        seed = seed * 1103515245u + 12345u;
        return int((seed >> 8) % below);
    };
    for (int round = 0; round < 100; ++round) {
        QImage image = paper();
        const int rows = 10 + round % 25;
        const QRect window(30, 30, 181, rows + 1);  // windowOf(15, 15, 90, rows / 2)
        std::vector<int> tops, bottoms;
        const int minStem = std::max(int(double(rows) * 0.36), 2);
        for (int px = window.left() + 1; px < window.right(); px += 2 + next(6)) {
            int top = window.top() + next(quint32(rows));
            int bottom = window.top() + next(quint32(rows));
            if (px == window.left() + 1) {
                top = window.top();
                bottom = window.top() + rows - 1;
            }
            if (top > bottom)
                std::swap(top, bottom);
            for (int py = top; py <= bottom; ++py)
                image.setPixel(px, py, qRgb(0, 0, 0));
            if (bottom - top + 1 >= minStem) {
                tops.push_back(top);
                bottoms.push_back(bottom);
            }
        }
        const bool descends = round % 2 == 1;
        std::sort(tops.begin(), tops.end());
        std::sort(bottoms.begin(), bottoms.end());
        const qsizetype n = qsizetype(tops.size());
        const int baseline = bottoms[size_t(std::min(n * (descends ? 55 : 85) / 100, n - 1))];
        const int capTop = tops[size_t(std::min(n * 12 / 100, n - 1))];
        const RegionMetrics metrics = PDFPageBitmapAnalyzer(image).analyzeTextRegion(
            QRectF(15, 15, 90, rows / 2.0), descends ? "gap" : "ink", 30);
        ASSERT_EQ(metrics.backgroundHex, QStringLiteral("#FFFFFF")) << "round " << round;
        EXPECT_DOUBLE_EQ(metrics.baselineY, (baseline + 0.5) * 0.5) << "round " << round << ", " << n << " stems";
        EXPECT_DOUBLE_EQ(metrics.capHeight, std::max((baseline - capTop + 0.5) * 0.5, 4.0)) << "round " << round;
    }
}
