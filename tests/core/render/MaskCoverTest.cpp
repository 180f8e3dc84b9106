#include "core/fonts/TestFonts.h"
#include "core/support/TestPDF.h"
#include "pdf/PDFImport.h"
#include "render/MaskCover.h"
#include "render/PageRenderer.h"

#include <gtest/gtest.h>
#include <QImage>
#include <cmath>

using namespace zelvane;
namespace test = zelvane::testing;

TEST(MaskCoverTest, AMaskTakesEveryPixelItTouches)
{
    const QTransform zoom = QTransform::fromScale(1.37, 1.37) * QTransform::fromTranslate(3.2, -0.4);
    const QRectF rect(10.3, 20.7, 50.2, 10.45);
    const QRectF cover = coveringDevicePixels(rect, zoom);
    EXPECT_TRUE(cover.contains(rect));
    const QRectF onDevice = zoom.mapRect(cover);
    for (const double side : {onDevice.left(), onDevice.top(), onDevice.right(), onDevice.bottom()})
        EXPECT_NEAR(side, std::round(side), 1e-6);
    EXPECT_LT(onDevice.width() - zoom.mapRect(rect).width(), 2.0 + 1e-6);

    // A page turned a quarter: still whole pixels; a free turn: unchanged.
    const QTransform quarter = QTransform().rotate(90) * QTransform::fromScale(2.5, 2.5);
    const QRectF turned = quarter.mapRect(coveringDevicePixels(rect, quarter));
    EXPECT_NEAR(turned.left(), std::round(turned.left()), 1e-6);
    EXPECT_NEAR(turned.bottom(), std::round(turned.bottom()), 1e-6);
    EXPECT_EQ(coveringDevicePixels(rect, QTransform().rotate(30)), rect);
}

class MaskCoverPageTest : public test::FontTestBase {};

TEST_F(MaskCoverPageTest, AMovedLineLeavesNoTraceWhereItWasPrintedAtAnyZoom)
{
    const QByteArray data = test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/groff-memo.pdf"));
    VectorPage page = PDFCodec::importPDF(data, QStringLiteral("memo"), std::nullopt).pages.front();
    VectorElement* line = nullptr;
    for (VectorElement& element : page.elements) {
        if (element.text()->text.startsWith(QStringLiteral("The ef")))
            line = &element;
    }
    ASSERT_TRUE(line);
    const QRectF printed = line->text()->printedPDFBounds()->toQRectF();
    line->frame.y += 300;  // moved well clear of its print
    for (const double scale : {1.0, 1.37, 2.0, 2.71, 4.0}) {
        const QImage image = QImage::fromData(*PDFCodec::renderPagePNG(page, scale), "PNG");
        const QRect pixels = QTransform::fromScale(scale, scale).mapRect(printed).toAlignedRect();
        int traces = 0;
        for (int y = pixels.top(); y <= pixels.bottom(); ++y) {
            for (int x = pixels.left(); x <= pixels.right(); ++x)
                traces += qGray(image.pixel(x, y)) < 250;
        }
        EXPECT_EQ(traces, 0) << scale;
    }
}
