#include "core/fonts/TestFonts.h"
#include "core/support/TestPDF.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFImport.h"
#include "pdf/PDFPageBitmapAnalyzer.h"
#include "pdf/PDFTextExtraction.h"
#include "sample/SyntheticDocument.h"

#include <gtest/gtest.h>
#include <QPainter>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

// The document with every identifier cleared: what stays is what the import
// found in the file.
VectorDocument withoutIdentifiers(VectorDocument document)
{
    document.id = QUuid();
    for (VectorPage& page : document.pages) {
        page.id = QUuid();
        for (VectorElement& element : page.elements)
            element.id = QUuid();
    }
    return document;
}

void expectSameImportOnAnyNumberOfThreads(const QByteArray& data)
{
    const VectorDocument sequential =
        withoutIdentifiers(PDFCodec::importPDF(data, QStringLiteral("T"), std::nullopt, 1));
    for (const int workers : {3, 8}) {
        const VectorDocument parallel =
            withoutIdentifiers(PDFCodec::importPDF(data, QStringLiteral("T"), std::nullopt, workers));
        ASSERT_EQ(parallel.pages.size(), sequential.pages.size()) << workers << " workers";
        for (qsizetype i = 0; i < sequential.pages.size(); ++i)
            EXPECT_EQ(parallel.pages[i], sequential.pages[i]) << "page " << i + 1 << ", " << workers << " workers";
        EXPECT_EQ(parallel, sequential);
    }
}

class PDFParallelImportTest : public test::FontTestBase {};

}  // namespace

TEST_F(PDFParallelImportTest, AManualImportsTheSameOnEveryNumberOfThreads)
{
    const QByteArray data = test::makeManualTestPDF(5);
    const VectorDocument document = PDFCodec::importPDF(data, QStringLiteral("T"), std::nullopt, 4);
    ASSERT_EQ(document.pages.size(), 5);
    for (const VectorPage& page : document.pages)
        EXPECT_GT(page.elements.size(), 40);
    expectSameImportOnAnyNumberOfThreads(data);
}

TEST_F(PDFParallelImportTest, OddPagesAndTheSampleImportTheSameOnEveryNumberOfThreads)
{
    test::TestPDFPage empty;
    test::TestPDFPage turned;
    turned.mediaBox = QRectF(0, 0, 612, 792);
    turned.rotate = 90;
    turned.texts = {{QPointF(72, 700), 12, "Turned page", QColor(0, 0x60, 0)}};
    test::TestPDFPage shifted;
    shifted.mediaBox = QRectF(100, 200, 300, 400);
    shifted.fills = {{QRectF(100, 200, 300, 400), QColor(0x1E, 0x3A, 0x8A)}};
    shifted.texts = {{QPointF(120, 500), 14, "White on blue", Qt::white, "Helvetica-Bold"}};
    test::TestPDFPage tiny;
    tiny.mediaBox = QRectF(0, 0, 50, 30);
    tiny.texts = {{QPointF(2, 10), 8, "Tiny"}};
    expectSameImportOnAnyNumberOfThreads(test::makeTestPDF({empty, turned, shifted, tiny, turned}));
    expectSameImportOnAnyNumberOfThreads(SyntheticDocument::generateSampleRawPDFData());
}

TEST_F(PDFParallelImportTest, ASinglePageImportsTheSameWithItsLinesSharedOut)
{
    // One page has one page worker: the other threads only measure lines.
    expectSameImportOnAnyNumberOfThreads(test::makeManualTestPDF(1));
}

TEST_F(PDFParallelImportTest, LinesMeasuredInAnyOrderMakeTheSameLines)
{
    const QByteArray data = test::makeManualTestPDF(1);
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(data);
    ASSERT_TRUE(pdf);
    const PDFPageText text = pdf->pageText(0);
    const QRectF box = pdf->mediaBox(0);
    const auto analyzer = PDFPageBitmapAnalyzer::create(*pdf, 0, box.width(), box.height());
    ASSERT_TRUE(analyzer);
    const QList<PDFCodec::MeasuredTextLine> inOrder =
        PDFCodec::measureTextLines(text, box, box.height(), &*analyzer);
    ASSERT_GT(inOrder.size(), 40);
    qsizetype calls = 0;
    const QList<PDFCodec::MeasuredTextLine> backwards = PDFCodec::measureTextLines(
        text, box, box.height(), &*analyzer,
        [&](qsizetype count, const std::function<void(qsizetype)>& each) {
            for (qsizetype i = count - 1; i >= 0; --i, ++calls)
                each(i);
        });
    EXPECT_GE(calls, inOrder.size());
    ASSERT_EQ(backwards.size(), inOrder.size());
    for (qsizetype i = 0; i < inOrder.size(); ++i) {
        const PDFCodec::MeasuredTextLine& a = inOrder[i];
        const PDFCodec::MeasuredTextLine& b = backwards[i];
        EXPECT_EQ(a.range, b.range) << i;
        EXPECT_EQ(a.angle, b.angle) << i;
        EXPECT_EQ(a.page, b.page) << i;
        ASSERT_EQ(a.metrics.has_value(), b.metrics.has_value()) << i;
        if (a.metrics) {
            EXPECT_EQ(a.metrics->inkHex, b.metrics->inkHex) << i;
            EXPECT_EQ(a.metrics->backgroundHex, b.metrics->backgroundHex) << i;
            EXPECT_EQ(a.metrics->baselineY, b.metrics->baselineY) << i;
            EXPECT_EQ(QRectF(a.metrics->inkX, a.metrics->inkY, a.metrics->inkWidth, a.metrics->inkHeight),
                      QRectF(b.metrics->inkX, b.metrics->inkY, b.metrics->inkWidth, b.metrics->inkHeight))
                << i;
        }
    }
}

// Pages are drawn where the page before had its text and read in the same
// pass: whether the text then lies within what was drawn, reaches beyond it
// (once or page after page) or is missing, every page imports as it
// measures on its own, drawn whole.
TEST_F(PDFParallelImportTest, PagesDrawnWhereThePageBeforeHadItsTextImportAsEachMeasuredAlone)
{
    const auto page = [](std::vector<test::TestPDFText> texts) {
        test::TestPDFPage made;
        made.mediaBox = QRectF(0, 0, 400, 500);
        made.texts = std::move(texts);
        return made;
    };
    const QByteArray data = test::makeTestPDF({
        page({{QPointF(40, 450), 12, "Only a heading up here"}}),
        page({{QPointF(40, 470), 12, "Top of a full page, with a line running right across it"}, {QPointF(60, 250), 14, "Middle line", QColor(0x80, 0, 0)},
              {QPointF(30, 20), 10, "Foot of the page, wider than before"}}),
        page({{QPointF(100, 260), 11, "Within the page before"}}),
        page({}),
        page({{QPointF(200, 40), 12, "Low on a page after an empty one"}}),
        page({{QPointF(250, 460), 12, "Up right"}, {QPointF(20, 30), 12, "Down left"}}),
        page({{QPointF(250, 455), 12, "Up right", QColor(0, 0, 0x90)}, {QPointF(20, 35), 12, "Down left"}}),
        // Text spreading further page after page, then back within.
        page({{QPointF(30, 482), 12, "A wide line near the top of the page"}, {QPointF(150, 240), 12, "Centre"}}),
        page({{QPointF(6, 490), 12, "Wider still, from the left edge to far on the right"}, {QPointF(150, 8), 12, "Bottom"}}),
        page({{QPointF(100, 250), 12, "Inside again"}}),
        page({{QPointF(110, 300), 12, "And drawn with its text", QColor(0, 0x70, 0)}}),
    });
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(data);
    ASSERT_TRUE(pdf);
    VectorDocument expected;
    for (int index = 0; index < pdf->pageCount(); ++index) {
        const QRectF box = pdf->mediaBox(index);
        const auto analyzer = PDFPageBitmapAnalyzer::create(*pdf, index, box.width(), box.height());
        ASSERT_TRUE(analyzer);
        VectorPage made;
        made.elements =
            PDFCodec::extractEditableTextElements(pdf->pageText(index), box, box.width(), box.height(), &*analyzer);
        expected.pages.append(made);
    }
    EXPECT_TRUE(expected.pages[3].elements.isEmpty());
    for (const int workers : {1, 3}) {
        // Bytes of their own: the texts are read again, not found among those kept.
        const VectorDocument imported = withoutIdentifiers(
            PDFCodec::importPDF(QByteArray(data.constData(), data.size()), QStringLiteral("T"), std::nullopt, workers));
        ASSERT_EQ(imported.pages.size(), expected.pages.size());
        for (qsizetype i = 0; i < imported.pages.size(); ++i) {
            ASSERT_EQ(imported.pages[i].elements.size(), expected.pages[i].elements.size()) << i;
            for (qsizetype e = 0; e < imported.pages[i].elements.size(); ++e) {
                VectorElement element = expected.pages[i].elements[e];
                element.id = QUuid();
                EXPECT_EQ(imported.pages[i].elements[e], element) << "page " << i + 1 << ", " << workers << " workers";
            }
        }
    }
}

// An analyzer over a drawing larger than its area measures as one drawn for
// that area alone: the same inside, blank paper past the area, and none
// when the area reaches beyond the drawing.
TEST(PDFPageBitmapAnalyzerReadingTest, AnAnalyzerOverALargerDrawingMeasuresItsAreaAlone)
{
    if (!test::ensureGuiApplication())
        GTEST_SKIP() << "another kind of application object exists";
    const QByteArray data = test::makeManualTestPDF(1);
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(data);
    const std::unique_ptr<PDFDocument> alone = PDFDocument::open(QByteArray(data.constData(), data.size()));
    ASSERT_TRUE(pdf && alone);
    const std::optional<QSize> size = PDFPageBitmapAnalyzer::pixelSize(595, 842);
    ASSERT_TRUE(size);
    const QRect drawnArea(40, 30, 1000, 1500);
    const QRect area = PDFPageBitmapAnalyzer::pixelsUnder(*size, QRectF(60.3, 50.7, 380.2, 500.9));
    ASSERT_TRUE(drawnArea.contains(area));
    QImage drawn;
    PDFPageText text;
    ASSERT_TRUE(PDFPageBitmapAnalyzer::drawReadingText(*pdf, 0, 595, 842, drawn, drawnArea, text));
    EXPECT_EQ(drawn.size(), drawnArea.size());
    EXPECT_EQ(text.text, alone->pageText(0).text);
    EXPECT_EQ(text.characterRects, alone->pageText(0).characterRects);

    const auto over = PDFPageBitmapAnalyzer::overDrawn(drawn, drawnArea.topLeft(), 595, 842, area);
    QImage raster;
    const auto part = PDFPageBitmapAnalyzer::create(*alone, 0, 595, 842, raster, area);
    ASSERT_TRUE(over && part);
    int inked = 0;
    for (double y = 40; y + 14 <= 600; y += 7.3) {
        for (const QRectF& region : {QRectF(60.3, y, 380.2, 14), QRectF(45, y, 500, 14), QRectF(430, y, 30, 14)}) {
            const RegionMetrics a = over->analyzeTextRegion(region, QStringLiteral("Hg"), 11);
            const RegionMetrics b = part->analyzeTextRegion(region, QStringLiteral("Hg"), 11);
            ASSERT_EQ(a.backgroundHex, b.backgroundHex) << y;
            ASSERT_EQ(a.inkHex, b.inkHex) << y;
            ASSERT_EQ(QRectF(a.inkX, a.inkY, a.inkWidth, a.inkHeight), QRectF(b.inkX, b.inkY, b.inkWidth, b.inkHeight));
            ASSERT_EQ(a.baselineY, b.baselineY);
            ASSERT_EQ(a.capHeight, b.capHeight);
            ASSERT_EQ(a.looksBold, b.looksBold);
            inked += a.inkHex ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 20);
    EXPECT_EQ(over->greyPicture(QRectF(70, 60, 200, 100)), part->greyPicture(QRectF(70, 60, 200, 100)));
    EXPECT_FALSE(PDFPageBitmapAnalyzer::overDrawn(drawn, drawnArea.topLeft(), 595, 842, drawnArea.adjusted(0, 0, 1, 0)));
}

TEST(PDFPageBitmapAnalyzerReadingTest, PremultipliedPixelsReadAsPaintedOnWhite)
{
    // Every alpha with every channel value it allows, one pixel each.
    QImage page(256, 256, QImage::Format_ARGB32_Premultiplied);
    for (int a = 0; a < 256; ++a) {
        for (int c = 0; c < 256; ++c) {
            const int v = std::min(c, a);
            reinterpret_cast<QRgb*>(page.scanLine(a))[c] = qRgba(v, std::min(255 - c, a), v / 2, a);
        }
    }
    QImage painted(page.size(), QImage::Format_RGB32);
    painted.fill(Qt::white);
    QPainter(&painted).drawImage(0, 0, page);

    const PDFPageBitmapAnalyzer inPlace(page);
    const PDFPageBitmapAnalyzer onWhite(painted);
    // A region of no size is one pixel, whose colour is the paper's.
    for (int y = 0; y < 256; ++y) {
        for (int x = 0; x < 256; ++x) {
            const QRgb expected = painted.pixel(x, y);
            ASSERT_EQ(inPlace.analyzeTextRegion(QRectF(x / 2.0, y / 2.0, 0, 0), QString(), 9).backgroundHex,
                      QString::asprintf("#%02X%02X%02X", qRed(expected), qGreen(expected), qBlue(expected)))
                << "alpha " << y << ", column " << x;
        }
    }
    // Regions of every size and place measure alike.
    for (int y = 0; y < 128; y += 9) {
        for (int x = 0; x < 128; x += 13) {
            const QRectF region(x, y, 4 + x / 3.0, 3 + y / 5.0);
            const RegionMetrics a = inPlace.analyzeTextRegion(region, QStringLiteral("Ag"), 9);
            const RegionMetrics b = onWhite.analyzeTextRegion(region, QStringLiteral("Ag"), 9);
            ASSERT_EQ(a.backgroundHex, b.backgroundHex) << x << "," << y;
            ASSERT_EQ(a.inkHex, b.inkHex) << x << "," << y;
            ASSERT_EQ(QRectF(a.inkX, a.inkY, a.inkWidth, a.inkHeight), QRectF(b.inkX, b.inkY, b.inkWidth, b.inkHeight));
            ASSERT_EQ(a.baselineY, b.baselineY);
            ASSERT_EQ(a.capHeight, b.capHeight);
            ASSERT_EQ(a.looksBold, b.looksBold);
        }
    }
}

TEST(PDFPageBitmapAnalyzerReadingTest, OnePageBufferServesPageAfterPage)
{
    if (!test::ensureGuiApplication())
        GTEST_SKIP() << "another kind of application object exists";
    const QByteArray data = test::makeManualTestPDF(3);
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(data);
    ASSERT_TRUE(pdf);
    QImage raster;
    const uchar* memory = nullptr;
    for (int page = 0; page < 3; ++page) {
        const auto reused = PDFPageBitmapAnalyzer::create(*pdf, page, 595, 842, raster);
        const auto fresh = PDFPageBitmapAnalyzer::create(*pdf, page, 595, 842);
        ASSERT_TRUE(reused && fresh);
        if (memory) {
            EXPECT_EQ(raster.constBits(), memory);
        }
        memory = raster.constBits();
        const QRectF heading(56, 40, 300, 20);
        const RegionMetrics a = reused->analyzeTextRegion(heading, QStringLiteral("Chapter"), 16);
        const RegionMetrics b = fresh->analyzeTextRegion(heading, QStringLiteral("Chapter"), 16);
        EXPECT_EQ(a.inkHex, b.inkHex);
        EXPECT_EQ(a.baselineY, b.baselineY);
        EXPECT_EQ(a.inkWidth, b.inkWidth);
    }
    // A page another reader still holds is never drawn over.
    const QImage held = raster;
    ASSERT_TRUE(PDFPageBitmapAnalyzer::create(*pdf, 0, 595, 842, raster));
    EXPECT_NE(raster.constBits(), held.constBits());
}

TEST(PDFPageBitmapAnalyzerReadingTest, APartOfAPageIsDrawnAsTheWholePageHasIt)
{
    if (!test::ensureGuiApplication())
        GTEST_SKIP() << "another kind of application object exists";
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(test::makeManualTestPDF(1));
    ASSERT_TRUE(pdf);
    const QRectF box = pdf->mediaBox(0);
    const QSize size(1190, 1684);
    const QImage whole = pdf->renderBox(0, box, size);
    for (const QRect& part : {QRect(0, 0, 1190, 1684), QRect(101, 57, 613, 409), QRect(1, 1683, 1189, 1)}) {
        QImage drawn;
        ASSERT_TRUE(pdf->renderBoxInto(0, box, size, part, drawn));
        EXPECT_EQ(drawn, whole.copy(part)) << part.x() << "," << part.y();
    }
    QImage drawn;
    EXPECT_FALSE(pdf->renderBoxInto(0, box, size, QRect(1000, 0, 191, 10), drawn));
}

TEST(PDFPageBitmapAnalyzerReadingTest, RegionsUnderTheDrawnPartMeasureAsOnTheWholePage)
{
    if (!test::ensureGuiApplication())
        GTEST_SKIP() << "another kind of application object exists";
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(test::makeManualTestPDF(1));
    ASSERT_TRUE(pdf);
    const std::optional<QSize> size = PDFPageBitmapAnalyzer::pixelSize(595, 842);
    ASSERT_EQ(size, QSize(1190, 1684));
    const QRectF text(50.3, 30.7, 400.2, 500.9);
    const QRect area = PDFPageBitmapAnalyzer::pixelsUnder(*size, text);
    EXPECT_LT(qint64(area.width()) * area.height(), qint64(size->width()) * size->height() / 2);
    QImage raster;
    const auto part = PDFPageBitmapAnalyzer::create(*pdf, 0, 595, 842, raster, area);
    const auto whole = PDFPageBitmapAnalyzer::create(*pdf, 0, 595, 842);
    ASSERT_TRUE(part && whole);
    EXPECT_EQ(raster.size(), area.size());
    EXPECT_EQ(part->pixelWidth(), 1190);
    EXPECT_EQ(part->pixelHeight(), 1684);
    int inked = 0;
    for (double y = text.top(); y + 14 <= text.bottom(); y += 7.3) {
        for (const QRectF& region : {QRectF(text.left(), y, text.width(), 14), QRectF(text.left() + 33.1, y, 97.6, 0.2),
                                     QRectF(text.right() - 10, y, 10, 14)}) {
            const RegionMetrics a = part->analyzeTextRegion(region, QStringLiteral("Hg"), 11);
            const RegionMetrics b = whole->analyzeTextRegion(region, QStringLiteral("Hg"), 11);
            ASSERT_EQ(a.backgroundHex, b.backgroundHex) << y;
            ASSERT_EQ(a.inkHex, b.inkHex) << y;
            ASSERT_EQ(QRectF(a.inkX, a.inkY, a.inkWidth, a.inkHeight), QRectF(b.inkX, b.inkY, b.inkWidth, b.inkHeight));
            ASSERT_EQ(a.baselineY, b.baselineY);
            ASSERT_EQ(a.capHeight, b.capHeight);
            ASSERT_EQ(a.capHeightReliable, b.capHeightReliable);
            ASSERT_EQ(a.looksBold, b.looksBold);
            inked += a.inkHex ? 1 : 0;
        }
    }
    EXPECT_GT(inked, 20);
    // Past the drawn part the page reads as blank paper.
    const RegionMetrics outside = part->analyzeTextRegion(QRectF(460, 700, 100, 14), QStringLiteral("Hg"), 11);
    EXPECT_EQ(outside.backgroundHex, QStringLiteral("#FFFFFF"));
    EXPECT_FALSE(outside.inkHex);
}
