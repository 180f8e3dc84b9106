#include "core/fonts/TestFonts.h"
#include "core/support/PDFText.h"
#include "core/support/TestPDF.h"
#include "CodecError.h"
#include "operations/VectorOperations.h"
#include "pdf/PDFDocument.h"
#include "export/PDFExport.h"
#include "render/PageRenderer.h"

#include <gtest/gtest.h>
#include <QImage>

#include <thread>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

// A Letter page whose backdrop prints "Hello World" at (72, 700) and a
// second line further down.
QByteArray letterWithText()
{
    test::TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 612, 792);
    page.texts = {{QPointF(72, 700), 12, "Hello World"}, {QPointF(72, 600), 12, "Kept Line"}};
    return test::makeTestPDF({page});
}

VectorPage pageOver(const QByteArray& pdf, double width, double height)
{
    return VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), width, height, QStringLiteral("#FFFFFF"),
                            pdf, 0);
}

// "Hello World" as the import makes it: its printed place in page space.
VectorElement helloLine()
{
    const VectorRect printed(72, 83.38, 59.3, 11.1);
    TextPayload text;
    text.text = QStringLiteral("Hello World");
    text.fontFamily = QStringLiteral("Helvetica");
    text.fontSize = 12;
    text.baselineOffset = 8.62;
    text.isPDFExtracted = true;
    text.originalPDFText = text.text;
    text.originalPDFRect = printed;
    text.originalFontSize = 12;
    text.originalIsBold = false;
    text.originalIsItalic = false;
    text.originalTextColorHex = QStringLiteral("#111317");
    text.maskColorHex = QStringLiteral("#00FF00");
    VectorElement element;
    element.id = QUuid::createUuid();
    element.kind = text;
    element.frame = printed;
    element.style = VectorStyle(std::nullopt, QStringLiteral("#111317"), 0, 1, false);
    return element;
}

VectorDocument documentOf(QList<VectorPage> pages, const QString& title = QStringLiteral("Export"))
{
    return VectorDocument::make(QUuid::createUuid(), title, DocumentSourceFormat::pdf, std::nullopt, pages, 1);
}

int countColor(const QImage& image, QColor color, const QRect& area, int tolerance = 40)
{
    int count = 0;
    for (int y = std::max(area.top(), 0); y <= std::min(area.bottom(), image.height() - 1); ++y) {
        for (int x = std::max(area.left(), 0); x <= std::min(area.right(), image.width() - 1); ++x) {
            const QRgb p = image.pixel(x, y);
            if (std::abs(qRed(p) - color.red()) <= tolerance && std::abs(qGreen(p) - color.green()) <= tolerance &&
                std::abs(qBlue(p) - color.blue()) <= tolerance && qAlpha(p) > 200) {
                ++count;
            }
        }
    }
    return count;
}

class PageExportTest : public test::FontTestBase {};

}  // namespace

TEST_F(PageExportTest, PNGSizesAndTransparentMargins)
{
    const VectorPage a4 = VectorPage::make(QUuid::createUuid(), "A4", 595.28, 841.89, "#FFFFFF");
    const QImage big = QImage::fromData(*PDFCodec::renderPagePNG(a4, 2), "PNG");
    EXPECT_EQ(big.size(), QSize(1191, 1684));

    VectorPage tiny = a4;
    tiny.width = 5;
    tiny.height = 5;
    tiny.backgroundColorHex = QStringLiteral("#FF0000");
    const QImage small = QImage::fromData(*PDFCodec::renderPagePNG(tiny, 1), "PNG");
    ASSERT_EQ(small.size(), QSize(16, 16));
    EXPECT_EQ(qAlpha(small.pixel(2, 2)), 255);
    EXPECT_EQ(qAlpha(small.pixel(10, 10)), 0);
    EXPECT_EQ(qAlpha(small.pixel(10, 2)), 0);

    // A raster of 64 million pixels or more is refused, not attempted.
    VectorPage huge = a4;
    huge.width = 20000;
    huge.height = 20000;
    EXPECT_FALSE(PDFCodec::renderPagePNG(huge, 1).has_value());
    EXPECT_FALSE(PDFCodec::renderPagePNG(a4, std::numeric_limits<double>::infinity()).has_value());
}

TEST_F(PageExportTest, PNGDrawsBackdropMasksAndVisibleElementsOnly)
{
    test::TestPDFPage backdrop;
    backdrop.mediaBox = QRectF(0, 0, 200, 100);
    backdrop.fills = {{QRectF(0, 0, 100, 100), QColor(0, 0, 255)}};  // the left half, blue
    VectorPage page = pageOver(test::makeTestPDF({backdrop}), 400, 200);  // drawn at twice its size
    page.redactedPDFRects = {VectorRect(20, 20, 40, 40)};
    VectorElement hidden = VectorOperations::makeStampElement(VectorStampKind::approved, {300, 150});
    hidden.visible = false;
    page.elements = {hidden};

    const QImage image = QImage::fromData(*PDFCodec::renderPagePNG(page, 1), "PNG");
    EXPECT_GT(countColor(image, QColor(0, 0, 255), QRect(150, 100, 20, 20)), 390);
    EXPECT_GT(countColor(image, Qt::white, QRect(30, 30, 20, 20)), 390);  // the redaction
    EXPECT_GT(countColor(image, Qt::white, QRect(230, 100, 150, 80)), 11000);  // no stamp

    // Turned clockwise, the left half of the backdrop becomes the top half.
    VectorDocument document = documentOf({page});
    VectorOperations::rotatePage(document, 0, true);
    const QImage turned = QImage::fromData(*PDFCodec::renderPagePNG(document.pages[0], 1), "PNG");
    ASSERT_EQ(turned.size(), QSize(200, 400));
    EXPECT_GT(countColor(turned, QColor(0, 0, 255), QRect(90, 150, 20, 20)), 390);
    EXPECT_GT(countColor(turned, Qt::white, QRect(90, 250, 20, 20)), 390);
}

TEST_F(PageExportTest, PagesKeepTheirExactSizesAndDocumentInformation)
{
    const VectorDocument document = documentOf(
        {VectorPage::make(QUuid::createUuid(), "A", 595.28, 841.89, "#FFFFFF"),
         VectorPage::make(QUuid::createUuid(), "B", 960, 540, "#202020")},
        QStringLiteral("Plan de scène"));
    const QByteArray pdf = PDFCodec::exportPDF(document);
    const auto reopened = PDFDocument::open(pdf);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->pageCount(), 2);
    EXPECT_NEAR(reopened->mediaBox(0).width(), 595.28, 1e-3);
    EXPECT_NEAR(reopened->mediaBox(0).height(), 841.89, 1e-3);
    EXPECT_EQ(reopened->mediaBox(1), QRectF(0, 0, 960, 540));
    const QImage dark = reopened->renderPage(1, 0.25);
    EXPECT_GT(countColor(dark, QColor(0x20, 0x20, 0x20), dark.rect(), 8), dark.width() * dark.height() * 9 / 10);

    QPDF read;
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    QPDFObjectHandle info = read.getTrailer().getKey("/Info");
    EXPECT_EQ(QString::fromStdString(info.getKey("/Title").getUTF8Value()), QStringLiteral("Plan de scène"));
    EXPECT_EQ(QString::fromStdString(info.getKey("/Creator").getUTF8Value()), PDFCodec::pdfCreator());

    const QByteArray empty = PDFCodec::exportPDF(VectorDocument{});
    QPDF none;
    none.processMemoryFile("empty", empty.constData(), size_t(empty.size()));
    EXPECT_TRUE(QPDFPageDocumentHelper(none).getAllPages().empty());
}

namespace {

// Enough drawn elements for the pages to be shared out between threads;
// every page has its own width (`width` plus its index) and names itself
// "<name> <number> end".
QList<VectorPage> manyDrawnPages(int count, double width, const QString& name)
{
    QList<VectorPage> pages;
    for (int i = 0; i < count; ++i) {
        VectorPage page =
            VectorPage::make(QUuid::createUuid(), QStringLiteral("P%1").arg(i), width + i, 400, "#FFFFFF");
        for (int k = 0; k < 30 + (i % 7) * 10; ++k) {
            VectorElement shape;
            shape.id = QUuid::createUuid();
            shape.kind = ShapePayload::make(VectorShapeType::rectangle, 0, false, false);
            shape.frame = VectorRect(10 + k, 200, 5, 5);
            shape.style = VectorStyle(QStringLiteral("#3366CC"), std::nullopt, 0, 1, false);
            page.elements.append(shape);
        }
        TextPayload text;
        text.text = QStringLiteral("%1 %2 end").arg(name).arg(i + 1);
        text.fontFamily = QStringLiteral("Helvetica");
        text.fontSize = 12;
        VectorElement label;
        label.id = QUuid::createUuid();
        label.kind = text;
        label.frame = VectorRect(20, 40, 200, 16);
        label.style = VectorStyle(std::nullopt, QStringLiteral("#111317"), 0, 1, false);
        page.elements.append(label);
        pages.append(page);
    }
    return pages;
}

// The exported pages keep the order, widths and names manyDrawnPages gave them.
void expectManyDrawnPages(const QByteArray& pdf, int count, double width, const QString& name)
{
    const auto reopened = PDFDocument::open(pdf);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->pageCount(), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_NEAR(reopened->mediaBox(i).width(), width + i, 1e-3) << name.toStdString() << " page " << i + 1;
    }
    const QStringList texts = test::pdfToText(pdf).split(QLatin1Char('\f'));
    ASSERT_GE(texts.size(), count);
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(texts[i].simplified(), QStringLiteral("%1 %2 end").arg(name).arg(i + 1))
            << name.toStdString() << " page " << i + 1;
    }
}

}  // namespace

TEST_F(PageExportTest, PagesDrawnOnManyThreadsKeepTheirOrderAndContent)
{
    constexpr int kPages = 40;
    const QByteArray pdf =
        PDFCodec::exportPDF(documentOf(manyDrawnPages(kPages, 300, QStringLiteral("Sheet")), QStringLiteral("Ledger")));
    expectManyDrawnPages(pdf, kPages, 300, QStringLiteral("Sheet"));

    // The document's information comes along with the pages.
    QPDF read;
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    QPDFObjectHandle info = read.getTrailer().getKey("/Info");
    ASSERT_TRUE(info.isDictionary());
    EXPECT_EQ(info.getKey("/Title").getUTF8Value(), "Ledger");
    EXPECT_EQ(QString::fromStdString(info.getKey("/Creator").getUTF8Value()), PDFCodec::pdfCreator());
}

TEST_F(PageExportTest, ExportsRunningAtOnceEachKeepTheirOwnPages)
{
    // Two documents exported together, twice, by threads of their own: the
    // drawing threads they share never mix their pages up.
    const VectorDocument sheets = documentOf(manyDrawnPages(36, 300, QStringLiteral("Sheet")));
    const VectorDocument leaves = documentOf(manyDrawnPages(28, 500, QStringLiteral("Leaf")));
    for (int round = 0; round < 2; ++round) {
        QByteArray sheetsPDF, leavesPDF;
        std::thread other([&] { leavesPDF = PDFCodec::exportPDF(leaves); });
        sheetsPDF = PDFCodec::exportPDF(sheets);
        other.join();
        expectManyDrawnPages(sheetsPDF, 36, 300, QStringLiteral("Sheet"));
        expectManyDrawnPages(leavesPDF, 28, 500, QStringLiteral("Leaf"));
    }
}

TEST_F(PageExportTest, TheOriginalPageStaysVectorAndSearchable)
{
    VectorPage page = pageOver(letterWithText(), 612, 792);
    page.elements = {helloLine()};  // unchanged: left to the backdrop
    const QByteArray pdf = PDFCodec::exportPDF(documentOf({page}));

    const QString text = test::pdfToText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Hello World"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Kept Line")));
    EXPECT_EQ(text.count(QStringLiteral("Hello World")), 1);  // not drawn a second time

    QPDF read;
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    for (QPDFObjectHandle object : read.getAllObjects()) {
        if (object.isStream()) {
            EXPECT_FALSE(object.getDict().getKey("/Subtype").isNameAndEquals("/Image"));
        }
    }
}

TEST_F(PageExportTest, AnEditedLineIsMaskedAndRedrawn)
{
    VectorPage page = pageOver(letterWithText(), 612, 792);
    VectorElement line = helloLine();
    line.text()->text = QStringLiteral("Bonjour");
    line.style.fillColorHex = QStringLiteral("#FF0000");
    page.elements = {line};
    const QByteArray pdf = PDFCodec::exportPDF(documentOf({page}));

    const auto reopened = PDFDocument::open(pdf);
    ASSERT_TRUE(reopened);
    const QImage image = reopened->renderPage(0, 2);
    const QRect printed(2 * 72, int(2 * 83.38), int(2 * 59.3), int(2 * 11.1));
    EXPECT_GT(countColor(image, QColor(0, 255, 0), printed), printed.width() * printed.height() / 3);
    EXPECT_GT(countColor(image, QColor(255, 0, 0), printed, 90), 30);
    EXPECT_EQ(countColor(image, Qt::black, printed, 60), 0);
    EXPECT_TRUE(test::pdfToText(pdf).contains(QStringLiteral("Bonjour")));

    // The same page as PNG shows the same.
    const QImage png = QImage::fromData(*PDFCodec::renderPagePNG(page, 2), "PNG");
    EXPECT_GT(countColor(png, QColor(0, 255, 0), printed), printed.width() * printed.height() / 3);
}

TEST_F(PageExportTest, TurnedAndDamagedBackdrops)
{
    test::TestPDFPage backdrop;
    backdrop.mediaBox = QRectF(0, 0, 200, 100);
    backdrop.fills = {{QRectF(0, 0, 100, 100), QColor(0, 0, 255)}};
    VectorDocument document = documentOf({pageOver(test::makeTestPDF({backdrop}), 200, 100)});
    VectorOperations::rotatePage(document, 0, true);
    const auto turned = PDFDocument::open(PDFCodec::exportPDF(document));
    ASSERT_TRUE(turned);
    EXPECT_EQ(turned->mediaBox(0), QRectF(0, 0, 100, 200));
    const QImage image = turned->renderPage(0, 1);
    EXPECT_GT(countColor(image, QColor(0, 0, 255), QRect(40, 40, 20, 20)), 390);
    EXPECT_GT(countColor(image, Qt::white, QRect(40, 140, 20, 20)), 390);

    VectorPage damaged = pageOver(QByteArray("%PDF-1.7 this is not a PDF"), 300, 200);
    damaged.backgroundColorHex = QStringLiteral("#FFFF00");
    damaged.elements = {VectorOperations::makeStampElement(VectorStampKind::draft, {150, 100})};
    const auto exported = PDFDocument::open(PDFCodec::exportPDF(documentOf({damaged})));
    ASSERT_TRUE(exported);
    const QImage yellow = exported->renderPage(0, 1);
    EXPECT_GT(countColor(yellow, QColor(255, 255, 0), QRect(5, 5, 20, 20)), 390);
    EXPECT_TRUE(PDFCodec::renderPagePNG(damaged, 1).has_value());
}
