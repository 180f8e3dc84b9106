#include "pdf/PageRasterWindow.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <algorithm>
#include <cstdlib>

using namespace zelvane;

namespace {

// Pixels of every kind the page bitmaps hold: paper, ink, anti-aliased
// edges, transparent parts, and values that are not validly premultiplied;
// stretches of pixels 0 (nothing drawn).
QImage noise(int width, int height, QImage::Format format, quint32 seed)
{
    QRandomGenerator random(seed);
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y) {
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            switch (random.bounded(4)) {
            case 0: line[x] = format == QImage::Format_RGB32 ? 0xFFFFFFFFu : 0u; break;
            case 1: line[x] = 0xFF000000u | random.bounded(0x1000000u); break;
            case 2: {
                const int a = int(random.bounded(256));
                line[x] = qRgba(int(random.bounded(a + 1)), int(random.bounded(a + 1)), int(random.bounded(a + 1)), a);
                break;
            }
            default: line[x] = random.generate(); break;
            }
        }
        // Stretches where nothing was drawn, as between a line's words,
        // and a row of them.
        if (y % 2 == 0) {
            const int start = int(random.bounded(width / 2));
            std::fill(line + start, line + std::min(width, start + 40 + int(random.bounded(80))), 0u);
        } else if (y == 3) {
            std::fill(line, line + width, 0u);
        }
    }
    return image;
}

// The distance as the page analysis defines it, pixel by pixel.
int expectedDistance(const PageRasterWindow& pixels, QRgb value, const PaperColour& paper)
{
    const PaperColour p = pixels.onPaper(value);
    return std::max({std::abs(p.r - paper.r), std::abs(p.g - paper.g), std::abs(p.b - paper.b)});
}

}  // namespace

TEST(PageRasterWindowTest, PremultipliedPixelsShowAsDrawnOnWhite)
{
    QImage image(2, 1, QImage::Format_ARGB32_Premultiplied);
    image.setPixel(0, 0, qRgba(0, 0, 0, 0));
    image.setPixel(1, 0, qRgba(64, 0, 32, 128));
    const PageRasterWindow pixels(image, QPoint(0, 0), QRect(0, 0, 2, 1));
    const PaperColour clear = pixels.onPaper(pixels.row(0)[0]);
    const PaperColour half = pixels.onPaper(pixels.row(0)[1]);
    EXPECT_EQ(clear.r + clear.g + clear.b, 3 * 255);
    EXPECT_EQ(half.r, 64 + 127);
    EXPECT_EQ(half.g, 127);
    EXPECT_EQ(half.b, 32 + 127);

    QImage opaque(1, 1, QImage::Format_RGB32);
    opaque.setPixel(0, 0, qRgb(10, 20, 30));
    const PaperColour kept = PageRasterWindow(opaque, QPoint(0, 0), QRect(0, 0, 1, 1)).onPaper(opaque.pixel(0, 0));
    EXPECT_EQ(kept.r, 10);
    EXPECT_EQ(kept.g, 20);
    EXPECT_EQ(kept.b, 30);
}

TEST(PageRasterWindowTest, DistancesCountsAndMasksAgreeWithEachPixel)
{
    const PaperColour papers[] = {{255, 255, 255}, {20, 40, 120}, {128, 0, 255}};
    // Windows narrower than a block of sixteen, across word boundaries, and
    // starting away from the drawn part's corner.
    const QRect windows[] = {QRect(3, 2, 1, 1), QRect(5, 1, 15, 3), QRect(10, 0, 64, 4), QRect(7, 3, 131, 5),
                             QRect(4, 4, 200, 2)};
    quint32 seed = 7;
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32_Premultiplied}) {
        const QImage image = noise(220, 9, format, seed++);
        for (const PaperColour& paper : papers) {
            for (const QRect& window : windows) {
                // The image holds the page from pixel (2, 1) on.
                const PageRasterWindow pixels(image, QPoint(2, 1), window.translated(2, 1));
                const PaperDistances distances(pixels, paper);
                // Rows counted together are their counts added up.
                const int firstRow = window.top() + 1, lastRow = window.bottom() + 1;
                for (const std::uint8_t threshold : {1, 55, 254}) {
                    for (int from = firstRow; from <= lastRow; ++from) {
                        qsizetype sum = 0;
                        for (int to = from; to <= lastRow; ++to) {
                            sum += distances.countAtLeast(to, threshold);
                            ASSERT_EQ(distances.countAtLeast(from, to, threshold), sum);
                        }
                    }
                }
                std::vector<std::uint64_t> mask(size_t(distances.wordsPerRow()) + 1, ~std::uint64_t(0));
                for (int py = window.top() + 1; py <= window.bottom() + 1; ++py) {
                    for (const std::uint8_t threshold : {1, 22, 45, 48, 55, 255}) {
                        distances.maskAtLeast(py, threshold, mask.data());
                        int expectedCount = 0;
                        for (int i = 0; i < distances.wordsPerRow() * 64; ++i) {
                            const bool set = (mask[size_t(i / 64)] >> (i % 64)) & 1u;
                            if (i >= window.width()) {
                                ASSERT_FALSE(set) << "past the window, column " << i;
                                continue;
                            }
                            const int expected = expectedDistance(pixels, pixels.row(py)[i], paper);
                            ASSERT_EQ(distances.row(py)[i], expected) << "column " << i << " row " << py;
                            ASSERT_EQ(set, expected >= threshold) << "column " << i << " threshold " << int(threshold);
                            expectedCount += expected >= threshold ? 1 : 0;
                        }
                        ASSERT_EQ(distances.countAtLeast(py, threshold), expectedCount);
                    }
                    // The word after the row's words is left alone.
                    ASSERT_EQ(mask.back(), ~std::uint64_t(0));
                    // Three masks at once are the three masks one at a time.
                    const std::array<std::uint8_t, 3> thresholds{22, 48, 255};
                    const size_t words = size_t(distances.wordsPerRow());
                    std::vector<std::uint64_t> together(3 * words, ~std::uint64_t(0));
                    distances.masksAtLeast(py, thresholds,
                                           {together.data(), together.data() + words, together.data() + 2 * words});
                    for (size_t k = 0; k < 3; ++k) {
                        distances.maskAtLeast(py, thresholds[k], mask.data());
                        for (size_t w = 0; w < words; ++w)
                            ASSERT_EQ(together[k * words + w], mask[w]) << "threshold " << int(thresholds[k]);
                    }
                }
            }
        }
    }
}
