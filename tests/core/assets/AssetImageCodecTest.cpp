#include "assets/AssetImageCodec.h"

#include "core/support/TestImages.h"
#include "core/support/TestPDF.h"

#include <gtest/gtest.h>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

const std::optional<QString> kNoExtension;

}  // namespace

TEST(AssetImageCodecRecognitionTest, SupportedExtensions)
{
    const QSet<QString> expected{"pdf", "png", "jpg", "jpeg", "tiff", "tif", "heic", "webp", "svg"};
    EXPECT_EQ(AssetImageCodec::supportedExtensions(), expected);
}

TEST(AssetImageCodecRecognitionTest, IsPDFByExtensionOrSignature)
{
    const QByteArray pdfBytes("%PDF-1.7\n%whatever");
    EXPECT_TRUE(AssetImageCodec::isPDF(pdfBytes, QString("png")));
    EXPECT_TRUE(AssetImageCodec::isPDF(pdfBytes, kNoExtension));
    EXPECT_TRUE(AssetImageCodec::isPDF(QByteArray("%PDF-"), kNoExtension));

    EXPECT_TRUE(AssetImageCodec::isPDF(QByteArray("not a pdf at all"), QString("PDF")));
    EXPECT_TRUE(AssetImageCodec::isPDF(QByteArray(), QString("pdf")));
    EXPECT_TRUE(AssetImageCodec::isPDF(QByteArray(), QString("Pdf")));

    EXPECT_FALSE(AssetImageCodec::isPDF(QByteArray("%PDF"), kNoExtension));
    EXPECT_FALSE(AssetImageCodec::isPDF(QByteArray(), kNoExtension));
    EXPECT_FALSE(AssetImageCodec::isPDF(QByteArray("%pdf-1.7"), kNoExtension));
    EXPECT_FALSE(AssetImageCodec::isPDF(QByteArray(" %PDF-1.7"), kNoExtension));
    EXPECT_FALSE(AssetImageCodec::isPDF(QByteArray("%PDF\xC3-1.7"), QString("png")));
    EXPECT_FALSE(AssetImageCodec::isPDF(png(filled(4, 4, Qt::red)), QString("pdfx")));
    EXPECT_FALSE(AssetImageCodec::isPDF(png(filled(4, 4, Qt::red)), QString("")));
}

TEST(AssetImageCodecAspectRatioTest, PDFUsesTheFirstPageCropBox)
{
    EXPECT_NEAR(AssetImageCodec::aspectRatio(makeFilledTestPDF(595.2756, 841.8898), kNoExtension), 0.70711, 1e-4);
    EXPECT_NEAR(AssetImageCodec::aspectRatio(makeFilledTestPDF(841.8898, 595.2756), QString("pdf")), 1.41421, 1e-4);

    TestPDFPage cropped;
    cropped.mediaBox = QRectF(0, 0, 600, 400);
    cropped.cropBox = QRectF(100, 100, 300, 100);
    TestPDFPage second;
    second.mediaBox = QRectF(0, 0, 100, 400);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(makeTestPDF({cropped, second}), kNoExtension), 3);
}

TEST(AssetImageCodecAspectRatioTest, ThinCropBoxSidesComeFromTheMediaBox)
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 300, 100);
    page.cropBox = QRectF(0, 0, 0.5, 50);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(makeTestPDF({page}), kNoExtension), 6);
    page.cropBox = QRectF(0, 0, 150, 1);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(makeTestPDF({page}), kNoExtension), 1.5);
}

TEST(AssetImageCodecAspectRatioTest, PDFRatioIsClamped)
{
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(makeFilledTestPDF(1000, 10), kNoExtension), 6);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(makeFilledTestPDF(10, 1000), kNoExtension), 0.25);
}

TEST(AssetImageCodecAspectRatioTest, Bitmaps)
{
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(png(filled(300, 200, Qt::blue)), QString("png")), 1.5);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(png(filled(1000, 100, Qt::blue)), kNoExtension), 6);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(png(filled(100, 1000, Qt::blue)), kNoExtension), 0.25);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(encoded(filled(160, 200, Qt::blue), "JPEG"), QString("jpg")),
                     0.8);
    // The size is read from the header without decoding the pixels.
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(pngClaiming(100000, 50000), kNoExtension), 2);
}

TEST(AssetImageCodecAspectRatioTest, UnreadableBytesGiveTheDefault)
{
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(QByteArray(), kNoExtension), 2.4);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(QByteArray("definitely not an image"), kNoExtension), 2.4);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(QByteArray(4000, '\x5a'), QString("heic")), 2.4);
    // A damaged PDF, and a PNG cut inside its header.
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(QByteArray("%PDF-1.7\ngarbage"), kNoExtension), 2.4);
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(png(filled(300, 100, Qt::red)).left(20), kNoExtension), 2.4);
}

TEST(AssetImageCodecAspectRatioTest, TruncatedPNG)
{
    QImage noise(300, 100, QImage::Format_RGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x)
            noise.setPixel(x, y, qRgb((x * 37 + y * 11) % 256, (x * y) % 256, (x + 3 * y) % 256));
    const QByteArray bytes = png(noise);
    // Cut in the pixel data: the header still tells the size.
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(bytes.left(bytes.size() / 2), kNoExtension), 3);
    // Cut before the pixel data starts: the size is not trusted.
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(bytes.left(40), kNoExtension), 2.4);
}

TEST(AssetImageCodecAspectRatioTest, PDFThatFailsFallsBackToTheImageDecoder)
{
    // Named .pdf but really a PNG.
    EXPECT_DOUBLE_EQ(AssetImageCodec::aspectRatio(png(filled(200, 100, Qt::red)), QString("pdf")), 2);
}
