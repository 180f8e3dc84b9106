#include "render/ArtworkRenderer.h"

#include "assets/AssetImageCodec.h"
#include "core/support/TestImages.h"
#include "core/support/TestPDF.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QImageReader>
#include <QPainter>

#include <cmath>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

const std::optional<QString> kNoExtension;

}  // namespace

TEST(ArtworkRendererTest, PDFLongerSideMeetsTheTarget)
{
    const auto sizeOf = [](double width, double height, int target) {
        return ArtworkRenderer::renderImage(makeFilledTestPDF(width, height), kNoExtension, target, false).size();
    };
    EXPECT_EQ(sizeOf(595.2756, 841.8898, 600), QSize(424, 600));
    EXPECT_EQ(sizeOf(841.8898, 595.2756, 600), QSize(600, 424));
    EXPECT_EQ(sizeOf(200, 100, 600), QSize(600, 300));
    EXPECT_EQ(sizeOf(100, 100, 600), QSize(600, 600));
    // Proportions beyond 6 : 1 and 1 : 5 are squeezed to those limits.
    EXPECT_EQ(sizeOf(1000, 100, 600), QSize(600, 100));
    EXPECT_EQ(sizeOf(20, 400, 600), QSize(120, 600));
    EXPECT_EQ(sizeOf(100, 500, 600), QSize(120, 600));
    EXPECT_EQ(sizeOf(160, 100, 600), QSize(600, 375));
    // Halves round up: 601 / 2 = 300.5.
    EXPECT_EQ(sizeOf(200, 100, 601), QSize(601, 301));
    EXPECT_EQ(sizeOf(100, 200, 601), QSize(301, 601));
}

TEST(ArtworkRendererTest, PDFSidesAreAtLeast32)
{
    const auto sizeOf = [](double width, double height, int target) {
        return ArtworkRenderer::renderImage(makeFilledTestPDF(width, height), kNoExtension, target, false).size();
    };
    EXPECT_EQ(sizeOf(595.2756, 841.8898, 10), QSize(32, 32));
    EXPECT_EQ(sizeOf(300, 100, 10), QSize(32, 32));
    EXPECT_EQ(sizeOf(300, 100, 60), QSize(60, 32));
    EXPECT_EQ(sizeOf(300, 100, 0), QSize(32, 32));
    EXPECT_EQ(sizeOf(300, 100, -50), QSize(32, 32));
}

TEST(ArtworkRendererTest, PDFDrawsTheCropBoxStretched)
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 400, 400);
    page.cropBox = QRectF(100, 100, 200, 100);
    page.fills = {{QRectF(100, 100, 100, 100), QColor(255, 0, 0)}, {QRectF(200, 100, 100, 100), QColor(0, 0, 255)}};
    const QImage image = ArtworkRenderer::renderImage(makeTestPDF({page}), QString("PDF"), 200, false);
    ASSERT_EQ(image.size(), QSize(200, 100));
    EXPECT_EQ(image.pixel(50, 50), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(150, 50), qRgb(0, 0, 255));

    // Unpainted parts of the page stay transparent.
    TestPDFPage blank;
    blank.mediaBox = QRectF(0, 0, 100, 100);
    const QImage empty = ArtworkRenderer::renderImage(makeTestPDF({blank}), kNoExtension, 100, false);
    ASSERT_EQ(empty.size(), QSize(100, 100));
    EXPECT_EQ(qAlpha(empty.pixel(50, 50)), 0);
}

TEST(ArtworkRendererTest, PDFSignatureLosesItsPaper)
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 600, 300);
    page.fills = {{QRectF(0, 0, 600, 300), QColor(255, 255, 255)}, {QRectF(250, 130, 100, 40), QColor(0, 0, 0)}};
    const QImage image = ArtworkRenderer::renderImage(makeTestPDF({page}), kNoExtension, 600, true);
    // Ink box 100 x 40 pixels, margins max(100 / 18, 4) = 5 and 4.
    ASSERT_EQ(image.size(), QSize(110, 48));
    EXPECT_EQ(rawPixel(image, 0, 0), 0u);
    EXPECT_EQ(rawPixel(image, 55, 24), qRgba(0, 0, 0, 255));
}

TEST(ArtworkRendererTest, BitmapsAreDecodedAtTheirOwnSize)
{
    QImage picture = filled(50, 40, QColor(10, 200, 30));
    const QImage fromPNG = ArtworkRenderer::renderImage(png(picture), QString("png"), 600, false);
    EXPECT_EQ(fromPNG.size(), QSize(50, 40));
    EXPECT_EQ(fromPNG.pixel(25, 20), qRgb(10, 200, 30));

    const QImage fromJPEG =
        ArtworkRenderer::renderImage(encoded(picture, "JPEG", 100), QString("jpeg"), 10, false);
    ASSERT_EQ(fromJPEG.size(), QSize(50, 40));
    const QColor color = fromJPEG.pixelColor(25, 20);
    EXPECT_NEAR(color.red(), 10, 4);
    EXPECT_NEAR(color.green(), 200, 4);
    EXPECT_NEAR(color.blue(), 30, 4);

    // The extension is only a name: the bytes decide.
    EXPECT_EQ(ArtworkRenderer::renderImage(png(picture), QString("jpg"), 600, false).size(), QSize(50, 40));
    EXPECT_EQ(ArtworkRenderer::renderImage(png(picture), kNoExtension, 600, false).size(), QSize(50, 40));
}

TEST(ArtworkRendererTest, UndrawableBytesGiveNoImage)
{
    EXPECT_TRUE(ArtworkRenderer::renderImage(QByteArray(), kNoExtension, 600, true).isNull());
    EXPECT_TRUE(ArtworkRenderer::renderImage(QByteArray("junk junk junk"), QString("png"), 600, false).isNull());
    EXPECT_TRUE(ArtworkRenderer::renderImage(QByteArray(4000, '\x5a'), QString("heic"), 600, true).isNull());
    EXPECT_TRUE(ArtworkRenderer::renderImage(QByteArray("%PDF-1.7\nbroken"), kNoExtension, 600, true).isNull());
    EXPECT_TRUE(ArtworkRenderer::renderImage(makeTestPDF({}), kNoExtension, 600, true).isNull());
    EXPECT_TRUE(ArtworkRenderer::renderImage(
                    encryptTestPDF(makeFilledTestPDF(100, 100), "secret", "owner"), kNoExtension, 600, true)
                    .isNull());
}

TEST(ArtworkRendererTest, TruncatedImagesGiveNoImage)
{
    QImage noise(64, 64, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x + 3 * y) % 256));
    for (const char* format : {"PNG", "JPEG"}) {
        const QByteArray bytes = encoded(noise, format);
        for (qsizetype length : {qsizetype(0), qsizetype(10), qsizetype(40), bytes.size() / 2, bytes.size() - 20})
            EXPECT_TRUE(ArtworkRenderer::renderImage(bytes.left(length), kNoExtension, 600, false).isNull())
                << format << " cut at " << length;
    }
}

TEST(ArtworkRendererTest, HugeDeclaredImageIsRefusedQuickly)
{
    // What drawing a real picture of 600 × 600 pixels costs here and now.
    QImage picture(600, 600, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    const QByteArray png = encoded(picture, "PNG");
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(ArtworkRenderer::renderImage(png, QString("png"), 600, true).isNull());
    const qint64 reference = std::max<qint64>(timer.elapsed(), 1);
    timer.restart();
    EXPECT_TRUE(ArtworkRenderer::renderImage(pngClaiming(100000, 100000), QString("png"), 600, true).isNull());
    EXPECT_TRUE(ArtworkRenderer::renderImage(pngClaiming(30000, 30000), kNoExtension, 600, false).isNull());
    EXPECT_LT(timer.elapsed(), reference * 20) << "a real picture draws in " << reference << " ms";
}

TEST(ArtworkRendererTest, SVGArtworkIsDrawnFromItsFirstPage)
{
    const QByteArray svg(R"(<svg xmlns="http://www.w3.org/2000/svg" width="200" height="100">)"
                         R"(<rect x="0" y="0" width="100" height="100" fill="#FF0000"/></svg>)");
    // Twice the page's size, whatever the target; the extension's case does not matter.
    const QImage image = ArtworkRenderer::renderImage(svg, QString("SVG"), 600, false);
    ASSERT_EQ(image.size(), QSize(400, 200));
    EXPECT_EQ(QColor(image.pixel(100, 100)), QColor(255, 0, 0));
    EXPECT_EQ(QColor(image.pixel(300, 100)), QColor(255, 255, 255));
    EXPECT_EQ(ArtworkRenderer::renderImage(svg, QString("svg"), 10, false).size(), QSize(400, 200));

    // Without an extension the bytes go to the image decoder, which draws
    // no SVG even where Qt has an image plugin for it.
    EXPECT_TRUE(ArtworkRenderer::renderImage(svg, kNoExtension, 600, false).isNull());
    EXPECT_FALSE(ArtworkRenderer::canDraw(svg, kNoExtension));
    EXPECT_TRUE(ArtworkRenderer::canDraw(svg, QString("svg")));
    // Not readable as SVG: handed to the image decoder, which gives nothing.
    EXPECT_TRUE(ArtworkRenderer::renderImage(QByteArray("<not xml"), QString("svg"), 600, false).isNull());
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(QByteArray("<not xml"), QString("svg")), 2.4);

    // White paper removal applies to the drawn page.
    const QImage cut = ArtworkRenderer::renderImage(svg, QString("svg"), 600, true);
    ASSERT_FALSE(cut.isNull());
    EXPECT_LT(cut.width(), 400);
}

TEST(ArtworkWhitePaperTest, PaperFadesByLightnessAndColourfulness)
{
    // Four quadrants, all but the white one ink, so nothing is cropped.
    QImage image = filled(10, 10, Qt::white);
    {
        QPainter painter(&image);
        painter.fillRect(5, 0, 5, 5, QColor(128, 128, 128));
        painter.fillRect(0, 5, 5, 5, QColor(255, 0, 0));
        painter.fillRect(5, 5, 5, 5, QColor(220, 220, 220));
    }
    const QImage result = ArtworkRenderer::renderImage(png(image), kNoExtension, 600, true);
    ASSERT_EQ(result.size(), QSize(10, 10));
    EXPECT_EQ(rawPixel(result, 2, 2), 0u);
    EXPECT_EQ(rawPixel(result, 7, 2), qRgba(128, 128, 128, 255));
    EXPECT_EQ(rawPixel(result, 2, 7), qRgba(255, 0, 0, 255));
    // Light grey: score 220, alpha round(18 / 58 * 255) = 79, stored
    // premultiplied as 220 * 79 / 255 = 68.
    EXPECT_EQ(rawPixel(result, 7, 7), qRgba(68, 68, 68, 79));
}

TEST(ArtworkWhitePaperTest, FadeBandEdges)
{
    struct Case {
        QColor color;
        QRgb expected;
    };
    const std::vector<Case> cases = {
        // Score 237: alpha round(1 / 58 * 255) = 4, too faint to keep.
        {QColor(237, 237, 237), 0u},
        // Score 236: alpha round(2 / 58 * 255) = 9.
        {QColor(236, 236, 236), qRgba(236 * 9 / 255, 236 * 9 / 255, 236 * 9 / 255, 9)},
        // Score 238 and above: gone.
        {QColor(238, 238, 238), 0u},
        // Score 181: alpha round(57 / 58 * 255) = 251.
        {QColor(181, 181, 181), qRgba(181 * 251 / 255, 181 * 251 / 255, 181 * 251 / 255, 251)},
        {QColor(180, 180, 180), qRgba(180, 180, 180, 255)},
        // Pale yellow: luma 248, spread 55, score 248 - 27 = 221, alpha
        // round(17 / 58 * 255) = 75.
        {QColor(255, 255, 200), qRgba(255 * 75 / 255, 255 * 75 / 255, 200 * 75 / 255, 75)},
    };
    for (const Case& c : cases) {
        const QImage result = ArtworkRenderer::renderImage(png(filled(4, 4, c.color)), kNoExtension, 600, true);
        ASSERT_EQ(result.size(), QSize(4, 4)) << c.color.name().toStdString();
        EXPECT_EQ(rawPixel(result, 1, 1), c.expected) << c.color.name().toStdString();
    }
}

TEST(ArtworkWhitePaperTest, TranslucentPixels)
{
    QImage image(4, 4, QImage::Format_ARGB32);
    image.fill(qRgba(0, 0, 0, 8));
    image.setPixel(1, 1, qRgba(0, 0, 255, 9));
    image.setPixel(2, 2, qRgba(250, 250, 250, 100));
    image.setPixel(3, 3, qRgba(200, 200, 200, 128));
    const QImage result = ArtworkRenderer::renderImage(png(image), kNoExtension, 600, true);
    ASSERT_EQ(result.size(), QSize(4, 4));
    // Alpha below 9: cleared whatever the colour.
    EXPECT_EQ(rawPixel(result, 0, 0), 0u);
    // Dark and just visible: kept.
    EXPECT_EQ(qAlpha(rawPixel(result, 1, 1)), 9);
    // Nearly white: gone.
    EXPECT_EQ(rawPixel(result, 2, 2), 0u);
    // Grey 200 at alpha 128 is stored as 100, which un-premultiplies to
    // 100 * 255 / 128 = 199: alpha round(39 / 58 * 128) = 86.
    EXPECT_EQ(qAlpha(rawPixel(result, 3, 3)), 86);
}

TEST(ArtworkWhitePaperTest, TinyImagesAreLeftAlone)
{
    const QImage result = ArtworkRenderer::renderImage(png(filled(2, 5, Qt::white)), kNoExtension, 600, true);
    ASSERT_EQ(result.size(), QSize(2, 5));
    EXPECT_EQ(qAlpha(result.pixel(1, 1)), 255);
    EXPECT_EQ(ArtworkRenderer::renderImage(png(filled(5, 2, Qt::white)), kNoExtension, 600, true).size(),
              QSize(5, 2));
}

TEST(ArtworkWhitePaperTest, WhiteIsKeptWhenNotAskedToRemoveIt)
{
    const QImage result = ArtworkRenderer::renderImage(png(filled(20, 20, Qt::white)), kNoExtension, 600, false);
    ASSERT_EQ(result.size(), QSize(20, 20));
    EXPECT_EQ(result.pixel(10, 10), qRgb(255, 255, 255));
}

TEST(ArtworkWhitePaperTest, AllPaperStaysFullSize)
{
    const QImage result = ArtworkRenderer::renderImage(png(filled(30, 20, Qt::white)), kNoExtension, 600, true);
    ASSERT_EQ(result.size(), QSize(30, 20));
    EXPECT_EQ(rawPixel(result, 15, 10), 0u);
}

TEST(ArtworkWhitePaperTest, InkCoveringMostOfTheImageIsNotCropped)
{
    // Ink box 81 x 81 of 100 x 100: 6561 >= 0.65 * 10000.
    QImage image = filled(100, 100, Qt::white);
    QPainter(&image).fillRect(10, 10, 81, 81, Qt::black);
    EXPECT_EQ(ArtworkRenderer::renderImage(png(image), kNoExtension, 600, true).size(), QSize(100, 100));
}

TEST(ArtworkWhitePaperTest, SmallInkIsCroppedWithMargins)
{
    // A 40 x 10 stroke in the middle of a 300 x 200 page: margins 4 each way.
    QImage image = filled(300, 200, Qt::white);
    QPainter(&image).fillRect(130, 95, 40, 10, QColor(20, 30, 120));
    const QImage result = ArtworkRenderer::renderImage(png(image), kNoExtension, 600, true);
    ASSERT_EQ(result.size(), QSize(48, 18));
    EXPECT_EQ(rawPixel(result, 0, 0), 0u);
    EXPECT_EQ(rawPixel(result, 3, 9), 0u);
    EXPECT_EQ(rawPixel(result, 4, 4), qRgba(20, 30, 120, 255));
    EXPECT_EQ(rawPixel(result, 43, 13), qRgba(20, 30, 120, 255));
    EXPECT_EQ(rawPixel(result, 44, 9), 0u);

    // A larger stroke: margins a eighteenth of the ink box.
    QImage wide = filled(600, 400, Qt::white);
    QPainter(&wide).fillRect(200, 180, 180, 36, Qt::black);
    EXPECT_EQ(ArtworkRenderer::renderImage(png(wide), kNoExtension, 600, true).size(), QSize(200, 44));
}

TEST(ArtworkWhitePaperTest, CropStopsAtTheImageEdges)
{
    // The margin is lost on the sides that touch the edge but the crop keeps
    // the full width: x 0...47 and y 0...17.
    QImage corner = filled(300, 200, Qt::white);
    QPainter(&corner).fillRect(0, 0, 40, 10, Qt::black);
    EXPECT_EQ(ArtworkRenderer::renderImage(png(corner), kNoExtension, 600, true).size(), QSize(48, 18));

    QImage farCorner = filled(300, 200, Qt::white);
    QPainter(&farCorner).fillRect(260, 190, 40, 10, Qt::black);
    EXPECT_EQ(ArtworkRenderer::renderImage(png(farCorner), kNoExtension, 600, true).size(), QSize(44, 14));
}

TEST(ArtworkWhitePaperTest, FaintInkDoesNotCountForTheCrop)
{
    // Grey 236 keeps alpha 9, below the ink threshold of 24; only the dark
    // stroke is ink.
    QImage image = filled(300, 200, QColor(236, 236, 236));
    QPainter(&image).fillRect(130, 95, 40, 10, Qt::black);
    const QImage result = ArtworkRenderer::renderImage(png(image), kNoExtension, 600, true);
    ASSERT_EQ(result.size(), QSize(48, 18));
    EXPECT_EQ(qAlpha(rawPixel(result, 0, 0)), 9);
}
