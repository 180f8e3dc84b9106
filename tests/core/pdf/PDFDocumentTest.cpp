#include "pdf/PDFDocument.h"

#include "core/fonts/TestFonts.h"
#include "core/support/TestPDF.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QRandomGenerator>

#include <cmath>
#include <limits>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

const QColor kRed(255, 0, 0);
const QColor kBlue(0, 0, 255);

std::unique_ptr<PDFDocument> openOrFail(const QByteArray& bytes)
{
    PDFDocument::OpenError error = PDFDocument::OpenError::damaged;
    std::unique_ptr<PDFDocument> document = PDFDocument::open(bytes, &error);
    EXPECT_EQ(error, PDFDocument::OpenError::none);
    return document;
}

PDFDocument::OpenError openError(const QByteArray& bytes)
{
    PDFDocument::OpenError error = PDFDocument::OpenError::none;
    EXPECT_EQ(PDFDocument::open(bytes, &error), nullptr);
    return error;
}

void expectOpaque(const QImage& image, int x, int y, const QColor& color)
{
    const QRgb pixel = image.pixel(x, y);
    EXPECT_EQ(qAlpha(pixel), 255) << "at " << x << "," << y;
    EXPECT_EQ(qRed(pixel), color.red()) << "at " << x << "," << y;
    EXPECT_EQ(qGreen(pixel), color.green()) << "at " << x << "," << y;
    EXPECT_EQ(qBlue(pixel), color.blue()) << "at " << x << "," << y;
}

void expectTransparent(const QImage& image, int x, int y)
{
    EXPECT_EQ(image.pixel(x, y), 0u) << "at " << x << "," << y;
}

// A 200 x 100 page with a red rectangle near its top left corner: user
// space x 10...50, y 60...90, which is pixels x 10...50, y 10...40 of an
// unrotated render at one pixel per point.
TestPDFPage pageWithRedCorner()
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 200, 100);
    page.fills = {{QRectF(10, 60, 40, 30), kRed}};
    return page;
}

}  // namespace

TEST(PDFDocumentBoxesTest, PagesKeepTheirOwnBoxesAndTheCropBoxDefaultsToTheMediaBox)
{
    TestPDFPage a4;
    a4.mediaBox = QRectF(0, 0, 595, 842);
    TestPDFPage cropped;
    cropped.mediaBox = QRectF(0, 0, 300, 400);
    cropped.cropBox = QRectF(10, 20, 100, 50);
    const auto document = openOrFail(makeTestPDF({a4, cropped}));
    ASSERT_NE(document, nullptr);

    EXPECT_EQ(document->pageCount(), 2);
    EXPECT_EQ(document->mediaBox(0), QRectF(0, 0, 595, 842));
    EXPECT_EQ(document->cropBox(0), QRectF(0, 0, 595, 842));
    EXPECT_EQ(document->mediaBox(1), QRectF(0, 0, 300, 400));
    EXPECT_EQ(document->cropBox(1), QRectF(10, 20, 100, 50));
}

TEST(PDFDocumentBoxesTest, BoxesAreInheritedFromThePageTree)
{
    TestPDFPage inheriting;
    inheriting.mediaBox.reset();
    TestPDFPage own;
    own.mediaBox = QRectF(0, 0, 50, 60);
    TestPDFTree tree;
    tree.mediaBox = QRectF(0, 0, 612, 792);
    tree.cropBox = QRectF(36, 36, 540, 720);
    tree.nested = true;
    const auto document = openOrFail(makeTestPDF({inheriting, own}, tree));
    ASSERT_NE(document, nullptr);

    EXPECT_EQ(document->mediaBox(0), QRectF(0, 0, 612, 792));
    EXPECT_EQ(document->cropBox(0), QRectF(36, 36, 540, 720));
    // The inherited crop box is clipped to the page's own smaller media box.
    EXPECT_EQ(document->mediaBox(1), QRectF(0, 0, 50, 60));
    EXPECT_EQ(document->cropBox(1), QRectF(36, 36, 14, 24));
}

TEST(PDFDocumentBoxesTest, BoxesAreNormalisedAndClipped)
{
    // Corners given top right first.
    const QByteArray flipped = makeTestPDF({pageWithRedCorner()}).replace("[0 0 200 100]", "[200 100 0 0]");
    const auto document = openOrFail(flipped);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->mediaBox(0), QRectF(0, 0, 200, 100));

    TestPDFPage overhanging;
    overhanging.mediaBox = QRectF(0, 0, 200, 100);
    overhanging.cropBox = QRectF(-50, 50, 100, 100);
    TestPDFPage outside;
    outside.mediaBox = QRectF(0, 0, 200, 100);
    outside.cropBox = QRectF(500, 500, 10, 10);
    const auto clipped = openOrFail(makeTestPDF({overhanging, outside}));
    ASSERT_NE(clipped, nullptr);
    EXPECT_EQ(clipped->cropBox(0), QRectF(0, 50, 50, 50));
    // A crop box entirely off the page leaves the whole media box.
    EXPECT_EQ(clipped->cropBox(1), QRectF(0, 0, 200, 100));
}

TEST(PDFDocumentBoxesTest, MissingMediaBoxFallsBackToLetter)
{
    TestPDFPage page;
    page.mediaBox.reset();
    const auto document = openOrFail(makeTestPDF({page}));
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->mediaBox(0), QRectF(0, 0, 612, 792));
}

TEST(PDFDocumentBoxesTest, RotationIsNormalisedToQuarterTurns)
{
    const std::vector<std::pair<std::optional<int>, int>> cases = {
        {std::nullopt, 0}, {0, 0}, {90, 90}, {-90, 270}, {450, 90}, {180, 180}, {-180, 180},
        {270, 270},        {360, 0}, {-720, 0}, {630, 270}, {45, 0},
    };
    std::vector<TestPDFPage> pages;
    for (const auto& [written, expected] : cases) {
        TestPDFPage page;
        page.rotate = written;
        pages.push_back(page);
    }
    const auto document = openOrFail(makeTestPDF(pages));
    ASSERT_NE(document, nullptr);
    ASSERT_EQ(document->pageCount(), int(cases.size()));
    for (size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(document->rotation(int(i)), cases[i].second) << "written " << cases[i].first.value_or(0);
}

TEST(PDFDocumentBoxesTest, RotationIsInherited)
{
    TestPDFPage inheriting;
    TestPDFPage own;
    own.rotate = 180;
    TestPDFTree tree;
    tree.rotate = -90;
    tree.nested = true;
    const auto document = openOrFail(makeTestPDF({inheriting, own}, tree));
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->rotation(0), 270);
    EXPECT_EQ(document->rotation(1), 180);
}

TEST(PDFDocumentBoxesTest, IndexOutOfRangeGivesEmptyAnswers)
{
    const auto document = openOrFail(makeTestPDF({pageWithRedCorner()}));
    ASSERT_NE(document, nullptr);
    for (int index : {-1, 1, 1000}) {
        EXPECT_TRUE(document->mediaBox(index).isEmpty());
        EXPECT_TRUE(document->cropBox(index).isEmpty());
        EXPECT_EQ(document->rotation(index), 0);
        EXPECT_TRUE(document->renderPage(index, 1).isNull());
        EXPECT_TRUE(document->renderBox(index, QRectF(0, 0, 10, 10), QSize(10, 10)).isNull());
    }
}

TEST(PDFDocumentRenderTest, PageRendersFromTheTopLeftOnTransparency)
{
    const auto document = openOrFail(makeTestPDF({pageWithRedCorner()}));
    ASSERT_NE(document, nullptr);
    const QImage image = document->renderPage(0, 1);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.format(), QImage::Format_ARGB32_Premultiplied);
    EXPECT_EQ(image.size(), QSize(200, 100));

    expectOpaque(image, 11, 11, kRed);
    expectOpaque(image, 30, 25, kRed);
    expectOpaque(image, 48, 38, kRed);
    expectTransparent(image, 5, 5);
    expectTransparent(image, 30, 45);
    expectTransparent(image, 30, 75);
    expectTransparent(image, 150, 50);
    expectTransparent(image, 199, 99);
}

TEST(PDFDocumentRenderTest, RotatedPageRendersUnrotated)
{
    for (int rotate : {90, 180, 270, -90}) {
        TestPDFPage page = pageWithRedCorner();
        page.rotate = rotate;
        const auto document = openOrFail(makeTestPDF({page}));
        ASSERT_NE(document, nullptr);
        const QImage image = document->renderPage(0, 1);
        EXPECT_EQ(image.size(), QSize(200, 100)) << rotate;
        expectOpaque(image, 30, 25, kRed);
        expectTransparent(image, 170, 75);
    }
}

TEST(PDFDocumentRenderTest, RenderShowsTheWholeMediaBoxWhateverTheCropBox)
{
    TestPDFPage page = pageWithRedCorner();
    page.cropBox = QRectF(100, 0, 100, 100);
    const auto document = openOrFail(makeTestPDF({page}));
    ASSERT_NE(document, nullptr);
    const QImage image = document->renderPage(0, 1);
    EXPECT_EQ(image.size(), QSize(200, 100));
    expectOpaque(image, 30, 25, kRed);

    // The crop box alone, on request.
    const QImage crop = document->renderBox(0, document->cropBox(0), QSize(100, 100));
    EXPECT_EQ(crop.size(), QSize(100, 100));
    for (int x : {1, 50, 98})
        expectTransparent(crop, x, 25);
}

// A page already drawn as it should be may share its file with pages that
// are not: inherited rotation or crop box, a crop box of its own, a rotation
// of 360. Each still renders its whole media box unrotated.
TEST(PDFDocumentRenderTest, PlainPagesAndPagesToUndoRenderAlikeInOneFile)
{
    TestPDFPage plain = pageWithRedCorner();
    plain.rotate = 0;
    TestPDFPage sameCrop = pageWithRedCorner();
    sameCrop.cropBox = sameCrop.mediaBox;
    TestPDFPage ownCrop = pageWithRedCorner();
    ownCrop.cropBox = QRectF(100, 0, 100, 100);
    TestPDFPage fullTurn = pageWithRedCorner();
    fullTurn.rotate = 360;
    TestPDFPage inheriting = pageWithRedCorner();
    TestPDFTree rotatedTree;
    rotatedTree.rotate = 90;
    TestPDFTree croppedTree;
    croppedTree.cropBox = QRectF(0, 0, 100, 50);
    croppedTree.nested = true;
    const std::vector<std::pair<std::vector<TestPDFPage>, TestPDFTree>> files = {
        {{plain, sameCrop}, {}},
        {{plain, ownCrop}, {}},
        {{plain, fullTurn}, {}},
        {{plain, inheriting}, rotatedTree},
        {{plain, inheriting}, croppedTree},
    };
    for (size_t file = 0; file < files.size(); ++file) {
        const auto document = openOrFail(makeTestPDF(files[file].first, files[file].second));
        ASSERT_NE(document, nullptr) << file;
        for (int index : {0, 1}) {
            const QImage image = document->renderPage(index, 1);
            ASSERT_EQ(image.size(), QSize(200, 100)) << file << " page " << index;
            expectOpaque(image, 30, 25, kRed);
            expectTransparent(image, 170, 75);
            expectTransparent(image, 30, 75);
        }
        // A copy opened again elsewhere draws the same.
        const auto again = document->reopen();
        ASSERT_NE(again, nullptr) << file;
        EXPECT_EQ(again->renderPage(1, 1), document->renderPage(1, 1)) << file;
    }
}

TEST(PDFDocumentRenderTest, MediaBoxAwayFromTheOrigin)
{
    TestPDFPage page;
    page.mediaBox = QRectF(100, 200, 200, 100);
    page.fills = {{QRectF(110, 260, 20, 20), kBlue}};
    const auto document = openOrFail(makeTestPDF({page}));
    ASSERT_NE(document, nullptr);
    const QImage image = document->renderPage(0, 1);
    ASSERT_EQ(image.size(), QSize(200, 100));
    // User space x 110...130, y 260...280 lies 10...30 from the left and
    // 20...40 from the top of the page.
    expectOpaque(image, 20, 30, kBlue);
    expectTransparent(image, 20, 45);
    expectTransparent(image, 35, 30);
}

TEST(PDFDocumentRenderTest, RenderPageScalesAndRoundsSides)
{
    const auto document = openOrFail(makeTestPDF({pageWithRedCorner()}));
    ASSERT_NE(document, nullptr);
    const QImage doubled = document->renderPage(0, 2);
    EXPECT_EQ(doubled.size(), QSize(400, 200));
    expectOpaque(doubled, 60, 50, kRed);
    expectTransparent(doubled, 60, 90);

    EXPECT_EQ(document->renderPage(0, 0.333).size(), QSize(67, 33));
    EXPECT_EQ(document->renderPage(0, 0.0001).size(), QSize(1, 1));
}

TEST(PDFDocumentRenderTest, RenderBoxStretchesTheBoxOverTheImage)
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 200, 100);
    page.fills = {{QRectF(0, 0, 100, 100), kRed}, {QRectF(100, 0, 100, 100), kBlue}};
    const auto document = openOrFail(makeTestPDF({page}));
    ASSERT_NE(document, nullptr);

    // The middle of the page, 100 x 20 points, squeezed into 10 x 40 pixels:
    // red on the left half, blue on the right.
    const QImage image = document->renderBox(0, QRectF(50, 40, 100, 20), QSize(10, 40));
    ASSERT_EQ(image.size(), QSize(10, 40));
    for (int y : {0, 20, 39}) {
        for (int x : {0, 2, 4})
            expectOpaque(image, x, y, kRed);
        for (int x : {5, 7, 9})
            expectOpaque(image, x, y, kBlue);
    }

    // A box partly off the page: only the part on the page is painted.
    const QImage overhang = document->renderBox(0, QRectF(150, 50, 100, 100), QSize(100, 100));
    ASSERT_EQ(overhang.size(), QSize(100, 100));
    expectTransparent(overhang, 25, 25);
    expectTransparent(overhang, 75, 75);
    expectOpaque(overhang, 25, 75, kBlue);
}

// Drawing a page whose text was just read (poppler then has the page's
// text and does not gather it again) gives the very pixels of a page drawn
// without reading its text, whole or in part, and the text read stays the
// same; the page kept for drawing goes to the page it was read for only.
TEST(PDFDocumentRenderTest, APageDrawnAfterItsTextWasReadHasTheSamePixels)
{
    for (const char* name : {"groff-memo.pdf", "cairo-memo.pdf", "pdftex-paper.pdf", "ghostscript-sideways.pdf"}) {
        SCOPED_TRACE(name);
        const QString path = QStringLiteral(ZELVANE_TEST_PDF_DIR "/") + QLatin1String(name);
        // Bytes of their own: the texts are read, not found among those kept.
        const auto reading = openOrFail(readBinaryFile(path));
        const auto drawing = openOrFail(readBinaryFile(path));
        ASSERT_NE(reading, nullptr);
        ASSERT_NE(drawing, nullptr);
        for (int index = 0; index < reading->pageCount(); ++index) {
            const QRectF media = reading->mediaBox(index);
            const QSize size(int(std::round(media.width() * 2)), int(std::round(media.height() * 2)));
            const QRect part(size.width() / 5, size.height() / 7, size.width() / 2, size.height() / 3);
            const PDFPageText text = reading->pageText(index);
            EXPECT_FALSE(text.text.isEmpty());
            // Another page's drawing does not take the page just read.
            if (reading->pageCount() > 1) {
                const int other = (index + 1) % reading->pageCount();
                EXPECT_EQ(reading->renderPage(other, 1), drawing->renderPage(other, 1));
            }
            QImage afterReading, plain;
            ASSERT_TRUE(reading->renderBoxInto(index, media, size, part, afterReading));
            ASSERT_TRUE(drawing->renderBoxInto(index, media, size, part, plain));
            EXPECT_EQ(afterReading, plain);
            EXPECT_EQ(reading->renderPage(index, 2), drawing->renderPage(index, 2));
            const auto again = openOrFail(readBinaryFile(path));
            ASSERT_NE(again, nullptr);
            ASSERT_TRUE(again->renderBoxInto(index, media, size, part, plain));
            const PDFPageText textAfterDrawing = again->pageText(index);
            EXPECT_EQ(textAfterDrawing.text, text.text);
            EXPECT_EQ(textAfterDrawing.characterRects, text.characterRects);
            EXPECT_EQ(textAfterDrawing.runs.size(), text.runs.size());
        }
    }
}

namespace {

QByteArray pdfStream(const QByteArray& dictionary, const QByteArray& content)
{
    return "<< " + dictionary + " /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content
           + "\nendstream";
}

// Pages of text: the first with a link, which draws nothing, the second
// with a comment whose appearance prints words of its own, the third with
// glyphs drawn by the file's own procedures, invisible words and words in a
// layer that is off.
QByteArray unusualPages()
{
    return makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R /OCProperties << /OCGs [13 0 R] /D << /OFF [13 0 R] >> >> >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R 11 0 R] /Count 3 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >> "
        "/Contents 6 0 R /Annots [8 0 R] >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >> "
        "/Contents 7 0 R /Annots [9 0 R] >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        pdfStream("", "BT /F1 14 Tf 20 150 Td (Linked words) Tj ET"),
        pdfStream("", "BT /F1 14 Tf 20 150 Td (Page words) Tj ET"),
        "<< /Type /Annot /Subtype /Link /Rect [20 145 120 165] /Border [0 0 0] /A << /S /URI /URI (http://127.0.0.1/) >> >>",
        "<< /Type /Annot /Subtype /FreeText /Rect [20 60 220 90] /Contents (Comment words) /DA (/Helv 12 Tf 0 g) "
        "/F 4 /P 4 0 R /AP << /N 10 0 R >> >>",
        pdfStream("/Type /XObject /Subtype /Form /BBox [0 0 200 30] /Resources << /Font << /F1 5 0 R >> >>",
                  "BT /F1 14 Tf 0 0.4 0 rg 5 10 Td (Comment words) Tj ET"),
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R /T 14 0 R >> "
        "/Properties << /Off 13 0 R >> >> /Contents 12 0 R >>",
        pdfStream("", "BT /F1 12 Tf 20 170 Td (Shown words) Tj ET BT /T 20 Tf 20 120 Td (abba) Tj ET "
                      "BT 3 Tr /F1 12 Tf 20 80 Td (Invisible words) Tj ET "
                      "/OC /Off BDC BT /F1 12 Tf 20 40 Td (Words in a layer that is off) Tj ET EMC"),
        "<< /Type /OCG /Name (Off) >>",
        "<< /Type /Font /Subtype /Type3 /FontBBox [0 0 1000 1000] /FontMatrix [0.001 0 0 0.001 0 0] "
        "/CharProcs << /a 15 0 R /b 16 0 R >> /Encoding << /Type /Encoding /Differences [97 /a /b] >> "
        "/FirstChar 97 /LastChar 98 /Widths [800 600] >>",
        pdfStream("", "800 0 0 0 700 700 d1 0 0 700 700 re f"),
        pdfStream("", "600 0 0 0 500 900 d1 0 0 500 900 re f"),
    });
}

void expectSameText(const PDFPageText& actual, const PDFPageText& expected)
{
    EXPECT_EQ(actual.text, expected.text);
    EXPECT_EQ(actual.characterRects, expected.characterRects);
    ASSERT_EQ(actual.runs.size(), expected.runs.size());
    for (qsizetype i = 0; i < actual.runs.size(); ++i) {
        const PDFTextRun& a = actual.runs[i];
        const PDFTextRun& b = expected.runs[i];
        EXPECT_EQ(a.start, b.start);
        EXPECT_EQ(a.end, b.end);
        EXPECT_EQ(a.fontName, b.fontName);
        EXPECT_EQ(a.fontSize, b.fontSize);
        EXPECT_EQ(a.color, b.color);
        EXPECT_EQ(a.baselineShare, b.baselineShare);
        EXPECT_EQ(a.invisible, b.invisible);
        EXPECT_EQ(a.withoutProgram, b.withoutProgram);
    }
}

}  // namespace

// Drawing a page and reading its text in the same pass gives the very text
// reading it alone gives (glyphs, rectangles, order, runs) and the very
// pixels drawing it alone gives, whole or in part; a page whose annotation
// prints words of its own keeps them out of its text, as reading it alone
// does, while its drawing shows them; glyphs the file draws itself,
// invisible words and words in a layer that is off read alike too.
TEST(PDFDocumentRenderTest, TextReadWhileDrawingIsTheTextReadAlone)
{
    std::vector<std::pair<QString, QByteArray>> files;
    for (const char* name : {"groff-memo.pdf", "cairo-memo.pdf", "pdftex-paper.pdf", "pdftex-turned.pdf",
                             "ghostscript-notice.pdf", "ghostscript-sideways.pdf", "groff-landscape.pdf",
                             "scan-groff-memo.pdf", "scan-invoice.pdf"})
        files.emplace_back(QLatin1String(name), readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/") + QLatin1String(name)));
    files.emplace_back(QStringLiteral("unusual"), unusualPages());
    files.emplace_back(QStringLiteral("manual"), makeManualTestPDF(3));
    for (const auto& [name, bytes] : files) {
        SCOPED_TRACE(name.toStdString());
        // Bytes of their own each: no text is found among those kept.
        const auto alone = openOrFail(QByteArray(bytes.constData(), bytes.size()));
        const auto together = openOrFail(QByteArray(bytes.constData(), bytes.size()));
        ASSERT_NE(alone, nullptr);
        ASSERT_NE(together, nullptr);
        for (int index = 0; index < alone->pageCount(); ++index) {
            SCOPED_TRACE(index);
            const QRectF media = alone->mediaBox(index);
            const QSize size(int(std::round(media.width() * 2)), int(std::round(media.height() * 2)));
            const QRect part(size.width() / 6, size.height() / 5, size.width() / 2, size.height() / 2);
            const PDFPageText expected = alone->pageText(index);
            EXPECT_FALSE(expected.text.isEmpty());
            QImage expectedPixels, pixels;
            ASSERT_TRUE(alone->renderBoxInto(index, media, size, part, expectedPixels));
            PDFPageText text;
            ASSERT_TRUE(together->renderBoxReadingText(index, media, size, part, pixels, text));
            expectSameText(text, expected);
            EXPECT_EQ(pixels, expectedPixels);
            // Drawn again, with the page kept since its text was read or,
            // once it is let go, with a page of its own: the same pixels.
            QImage redrawn;
            ASSERT_TRUE(together->renderBoxInto(index, media, size, part, redrawn));
            EXPECT_EQ(redrawn, expectedPixels);
            together->forgetKeptPage();
            ASSERT_TRUE(together->renderBoxInto(index, media, size, part, redrawn));
            EXPECT_EQ(redrawn, expectedPixels);
            // Read once: asked again, the text is the one kept.
            expectSameText(together->pageText(index), expected);
            PDFPageText again;
            ASSERT_TRUE(together->renderBoxReadingText(index, media, size, QRect(QPoint(0, 0), size), pixels, again));
            expectSameText(again, expected);
            EXPECT_EQ(pixels, alone->renderBox(index, media, size));
        }
        if (name == QStringLiteral("unusual")) {
            EXPECT_TRUE(alone->pageText(0).text.contains(QStringLiteral("Linked words")));
            EXPECT_FALSE(alone->pageText(1).text.contains(QStringLiteral("Comment")));
            EXPECT_TRUE(alone->pageText(2).text.contains(QStringLiteral("abba")));
            EXPECT_TRUE(alone->pageText(2).text.contains(QStringLiteral("Invisible words")));
        }
    }
}

TEST(PDFDocumentRenderTest, DocumentsTakingTurnsDrawOnSeveralThreadsAsEachAlone)
{
    const QByteArray bytes = makeManualTestPDF(6);
    const auto alone = openOrFail(QByteArray(bytes.constData(), bytes.size()));
    ASSERT_NE(alone, nullptr);
    std::vector<QImage> expected;
    std::vector<PDFPageText> expectedTexts;
    for (int index = 0; index < alone->pageCount(); ++index) {
        const QRectF media = alone->mediaBox(index);
        expected.push_back(alone->renderBox(index, media, QSize(int(std::round(media.width() * 2)),
                                                                int(std::round(media.height() * 2)))));
        expectedTexts.push_back(alone->pageText(index));
    }
    // Bytes of their own: the texts are read while drawing, not found kept.
    const auto first = openOrFail(QByteArray(bytes.constData(), bytes.size()));
    ASSERT_NE(first, nullptr);
    const std::unique_ptr<PDFDocument> second = first->reopen();
    ASSERT_NE(second, nullptr);
    const auto turn = std::make_shared<std::mutex>();
    first->takeTurnsDrawing(turn);
    second->takeTurnsDrawing(turn);
    std::vector<QImage> drawn(expected.size());
    std::vector<PDFPageText> texts(expected.size());
    {
        // Held here until both threads are under way: they start waiting.
        std::unique_lock held(*turn);
        const auto drawEvery = [&](const PDFDocument* document, int from) {
            for (int index = from; index < document->pageCount(); index += 2) {
                const QRectF media = document->mediaBox(index);
                const QSize size(int(std::round(media.width() * 2)), int(std::round(media.height() * 2)));
                document->renderBoxReadingText(index, media, size, QRect(QPoint(0, 0), size), drawn[size_t(index)],
                                               texts[size_t(index)]);
            }
        };
        std::thread one(drawEvery, first.get(), 0);
        std::thread other(drawEvery, second.get(), 1);
        held.unlock();
        one.join();
        other.join();
    }
    for (size_t index = 0; index < expected.size(); ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(drawn[index], expected[index]);
        expectSameText(texts[index], expectedTexts[index]);
    }
}

TEST(PDFDocumentRenderTest, RefusesEmptyAndOversizedRenders)
{
    const auto document = openOrFail(makeTestPDF({pageWithRedCorner()}));
    ASSERT_NE(document, nullptr);
    const QRectF media = document->mediaBox(0);
    EXPECT_TRUE(document->renderBox(0, media, QSize(0, 10)).isNull());
    EXPECT_TRUE(document->renderBox(0, media, QSize(10, -1)).isNull());
    EXPECT_TRUE(document->renderBox(0, media, QSize(10000, 10000)).isNull());
    EXPECT_TRUE(document->renderBox(0, QRectF(0, 0, 0, 10), QSize(10, 10)).isNull());
    EXPECT_TRUE(document->renderPage(0, 100).isNull());
    EXPECT_TRUE(document->renderPage(0, 0).isNull());
    EXPECT_TRUE(document->renderPage(0, -1).isNull());
    EXPECT_TRUE(document->renderPage(0, std::numeric_limits<double>::quiet_NaN()).isNull());
    EXPECT_TRUE(document->renderPage(0, std::numeric_limits<double>::infinity()).isNull());
    // Still usable afterwards.
    EXPECT_FALSE(document->renderPage(0, 1).isNull());
}

TEST(PDFDocumentOpenTest, BytesThatAreNoPDFAreDamaged)
{
    EXPECT_EQ(openError(QByteArray()), PDFDocument::OpenError::damaged);
    EXPECT_EQ(openError(QByteArray("%PDF-1.7\n")), PDFDocument::OpenError::damaged);
    EXPECT_EQ(openError(QByteArray("hello, world")), PDFDocument::OpenError::damaged);
    EXPECT_EQ(PDFDocument::open(QByteArray("still not a PDF")), nullptr);

    QRandomGenerator random(20240611);
    for (int round = 0; round < 20; ++round) {
        QByteArray junk(int(random.bounded(1, 4096)), Qt::Uninitialized);
        for (char& byte : junk)
            byte = char(random.bounded(256));
        if (round % 2)
            junk.prepend("%PDF-1.4\n");
        EXPECT_EQ(openError(junk), PDFDocument::OpenError::damaged) << "round " << round;
    }
}

TEST(PDFDocumentOpenTest, TruncatedPDFs)
{
    // Objects: 1 catalog, 2 page tree, 3 and 5 pages, 4 and 6 their contents.
    const QByteArray pdf = makeTestPDF({pageWithRedCorner(), pageWithRedCorner()});
    ASSERT_GT(pdf.indexOf("6 0 obj"), 0);

    EXPECT_EQ(openError(pdf.left(20)), PDFDocument::OpenError::damaged);
    // Cut before the page tree, or with a page object lost: refused rather
    // than shown with pages missing.
    EXPECT_EQ(openError(pdf.left(pdf.indexOf("2 0 obj"))), PDFDocument::OpenError::damaged);
    EXPECT_EQ(openError(pdf.left(pdf.indexOf("5 0 obj") + 20)), PDFDocument::OpenError::damaged);

    // Only the end lost, the cross-reference table and trailer with it: the
    // objects are found again.
    for (const QByteArray& cut : {pdf.left(pdf.indexOf("xref")), pdf.left(pdf.indexOf("6 0 obj") + 30)}) {
        const auto repaired = PDFDocument::open(cut);
        ASSERT_NE(repaired, nullptr);
        EXPECT_EQ(repaired->pageCount(), 2);
        expectOpaque(repaired->renderPage(0, 1), 30, 25, kRed);
    }

    // Every cut opens or is refused cleanly.
    for (qsizetype length = 0; length < pdf.size(); length += 5) {
        const auto document = PDFDocument::open(pdf.left(length));
        if (document) {
            EXPECT_EQ(document->pageCount(), 2);
            EXPECT_EQ(document->renderPage(1, 1).size(), QSize(200, 100));
        }
    }
}

TEST(PDFDocumentOpenTest, ScrambledBytesOpenOrAreRefusedCleanly)
{
    TestPDFPage page = pageWithRedCorner();
    page.rotate = 90;
    page.cropBox = QRectF(5, 5, 100, 50);
    const QByteArray pdf = makeTestPDF({page, pageWithRedCorner()});
    QRandomGenerator random(7);
    for (int round = 0; round < 60; ++round) {
        QByteArray scrambled = pdf;
        for (int change = 0; change < 1 + round % 6; ++change)
            scrambled[random.bounded(int(scrambled.size()))] = char(random.bounded(256));
        PDFDocument::OpenError error = PDFDocument::OpenError::none;
        const auto document = PDFDocument::open(scrambled, &error);
        if (!document) {
            EXPECT_EQ(error, PDFDocument::OpenError::damaged);
            continue;
        }
        for (int i = 0; i < document->pageCount(); ++i) {
            EXPECT_FALSE(document->mediaBox(i).isEmpty());
            document->renderPage(i, 0.5);
        }
    }
}

TEST(PDFDocumentOpenTest, DocumentWithoutPagesIsDamaged)
{
    EXPECT_EQ(openError(makeTestPDF({})), PDFDocument::OpenError::damaged);
}

TEST(PDFDocumentOpenTest, UserPasswordLocksTheDocument)
{
    const QByteArray locked = encryptTestPDF(makeTestPDF({pageWithRedCorner()}), "user", "owner");
    EXPECT_EQ(openError(locked), PDFDocument::OpenError::passwordProtected);
}

TEST(PDFDocumentOpenTest, OwnerPasswordAloneDoesNotLock)
{
    TestPDFPage page = pageWithRedCorner();
    page.rotate = 90;
    const QByteArray restricted = encryptTestPDF(makeTestPDF({page}), "", "owner");
    const auto document = openOrFail(restricted);
    ASSERT_NE(document, nullptr);
    EXPECT_EQ(document->pageCount(), 1);
    EXPECT_EQ(document->rotation(0), 90);
    const QImage image = document->renderPage(0, 1);
    EXPECT_EQ(image.size(), QSize(200, 100));
    expectOpaque(image, 30, 25, kRed);
}

TEST(PDFDocumentOpenTest, ErrorIsOptional)
{
    EXPECT_EQ(PDFDocument::open(QByteArray("junk")), nullptr);
    EXPECT_NE(PDFDocument::open(makeTestPDF({pageWithRedCorner()})), nullptr);
}
