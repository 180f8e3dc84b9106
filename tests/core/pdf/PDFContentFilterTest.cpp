// The content filter on small PDFs written by hand: each case draws what a
// real producer writes (kerned TJ arrays, spacing and scaling, forms shared
// by pages, images and inline images, marked content stating its text) and
// checks, through poppler, what is left and where.

#include "core/fonts/TestFonts.h"
#include "core/support/TestPDF.h"
#include "pdf/PDFContentFilter.h"
#include "pdf/PDFDocument.h"

#include <gtest/gtest.h>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <map>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

// A simple font whose every code from 32 to 126 is 600 units wide, named
// after a face the reader has no program for (it measures by the widths).
const QByteArray kMonoFont =
    "<< /Type /Font /Subtype /Type1 /BaseFont /Courier /FirstChar 32 /LastChar 126 /Widths [" +
    QByteArray("600 ").repeated(95) + "] /Encoding /WinAnsiEncoding >>";

QByteArray streamObject(const QByteArray& content, const QByteArray& extra = {})
{
    return "<< /Length " + QByteArray::number(content.size()) + extra + " >>\nstream\n" + content + "\nendstream";
}

// One page of 300 x 200 points drawing `content` with font /F1 and the
// extra resources given.
QByteArray pageWith(const QByteArray& content, const QByteArray& resources = {})
{
    return test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> " + resources +
            " >> /Contents 4 0 R >>",
        streamObject(content),
        kMonoFont,
    });
}

// The PDF with the filter applied to the pages given (masks in each page's
// user space); the filtered form replaces the page's content.
QByteArray filtered(const QByteArray& pdf, const std::map<int, QList<PDFMaskRect>>& masks)
{
    QPDF document;
    document.setSuppressWarnings(true);
    document.processMemoryFile("test", pdf.constData(), size_t(pdf.size()));
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(document).getAllPages();
    for (const auto& [index, pageMasks] : masks) {
        QPDFPageObjectHelper& page = pages[size_t(index)];
        QPDFObjectHandle form = page.getFormXObjectForPage(false);
        form.removeKey("/Matrix");
        QPDFObjectHandle result = removeContentUnderMasks(document, form, pageMasks);
        QPDFObjectHandle objects = QPDFObjectHandle::newDictionary();
        objects.replaceKey("/Page", result);
        QPDFObjectHandle resources = QPDFObjectHandle::newDictionary();
        resources.replaceKey("/XObject", objects);
        page.getObjectHandle().replaceKey("/Resources", resources);
        page.getObjectHandle().replaceKey("/Contents", QPDFObjectHandle::newStream(&document, "/Page Do"));
    }
    QPDFWriter writer(document);
    writer.setOutputMemory();
    writer.write();
    const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    return QByteArray(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));
}

PDFPageText textOf(const QByteArray& pdf, int page = 0)
{
    const auto document = PDFDocument::open(pdf);
    return document ? document->pageText(page) : PDFPageText();
}

// The rectangle poppler gives the first character of `word` on the page.
QRectF rectOf(const PDFPageText& text, const QString& word)
{
    const qsizetype at = text.text.indexOf(word);
    return at < 0 ? QRectF() : text.characterRects[at];
}

void expectSamePlace(const QRectF& a, const QRectF& b)
{
    ASSERT_FALSE(a.isNull());
    ASSERT_FALSE(b.isNull());
    EXPECT_NEAR(a.left(), b.left(), 0.01);
    EXPECT_NEAR(a.top(), b.top(), 0.01);
    EXPECT_NEAR(a.width(), b.width(), 0.01);
}

// Page space of the reader is y down from the top of the 200-point page.
QRectF userRect(double x, double y, double width, double height)
{
    return QRectF(x, y, width, height);
}

}  // namespace

TEST(PDFContentFilterTest, KernedArrayLosesMaskedGlyphsAndKeepsTheOthersInPlace)
{
    // Glyphs 12 points wide: "Total" from 10, then kerning, "500", "EUR".
    const QByteArray pdf =
        pageWith("BT /F1 20 Tf 10 100 Td [(Total) -250 (500) 120 (EUR)] TJ 0 -40 Td (Other line) Tj ET");
    const PDFPageText before = textOf(pdf);
    ASSERT_TRUE(before.text.contains(QStringLiteral("500")));

    // "500" starts at 10 + 5 * 12 + 5 = 75 and ends at 111.
    const QByteArray after = filtered(pdf, {{0, {{userRect(74, 95, 38, 25), Qt::white}}}});
    const PDFPageText text = textOf(after);
    EXPECT_FALSE(text.text.contains(QStringLiteral("500"))) << text.text.toStdString();
    EXPECT_TRUE(text.text.contains(QStringLiteral("Total")));
    expectSamePlace(rectOf(text, QStringLiteral("EUR")), rectOf(before, QStringLiteral("EUR")));
    expectSamePlace(rectOf(text, QStringLiteral("Total")), rectOf(before, QStringLiteral("Total")));
    expectSamePlace(rectOf(text, QStringLiteral("Other")), rectOf(before, QStringLiteral("Other")));
}

TEST(PDFContentFilterTest, EveryMaskTakesItsGlyphsWhateverItsHeightOrOrder)
{
    // Six lines "keepN goneN" (6-point glyphs), baselines 30 points apart.
    QByteArray content;
    for (int line = 0; line < 6; ++line)
        content += "BT /F1 10 Tf 10 " + QByteArray::number(20 + 30 * line) + " Td (keep" + QByteArray::number(line) +
                   " gone" + QByteArray::number(line) + ") Tj ET ";
    const QByteArray pdf = pageWith(content);
    // Over the words "gone" (x 46 to 76), out of order: one tall mask over
    // lines 3 and 4 (with a mask starting between them right of the text),
    // one written bottom up over line 5, one over line 0 and one over line
    // 2; line 1 keeps its word.
    const QList<PDFMaskRect> masks = {
        {QRectF(200, 138, 30, 10), Qt::white}, {QRectF(45, 108, 33, 40), Qt::white},
        {QRectF(45, 178, 33, -10), Qt::white}, {QRectF(45, 18, 33, 10), Qt::white},
        {QRectF(45, 78, 33, 10), Qt::white},
    };
    const PDFPageText text = textOf(filtered(pdf, {{0, masks}}));
    for (int line = 0; line < 6; ++line) {
        EXPECT_TRUE(text.text.contains(QStringLiteral("keep%1").arg(line))) << text.text.toStdString();
        EXPECT_EQ(text.text.contains(QStringLiteral("gone%1").arg(line)), line == 1) << text.text.toStdString();
    }
}

TEST(PDFContentFilterTest, SpacingScalingRiseAndLineOperatorsKeepPlaces)
{
    // Character and word spacing, 80 % horizontal scaling, a rise, and the
    // ' and " operators that move to the next line before showing.
    const QByteArray pdf = pageWith("BT /F1 10 Tf 14 TL 1.5 Tc 4 Tw 80 Tz 2 Ts 10 150 Td (keep gone keep) Tj "
                                    "(next secret after) ' 6 0.5 (third hidden end) \" ET");
    const PDFPageText before = textOf(pdf);
    const QRectF gone = rectOf(before, QStringLiteral("gone"));
    const QRectF secret = rectOf(before, QStringLiteral("secret"));
    const QRectF hidden = rectOf(before, QStringLiteral("hidden"));
    ASSERT_FALSE(gone.isNull());
    const auto toUser = [](const QRectF& r) { return QRectF(r.left() + 1, 200 - r.bottom() + 2, 1, r.height() - 4); };
    // A thin mask through the first glyph of each word: only that glyph's centre is under it.
    QList<PDFMaskRect> masks;
    for (const QRectF& word : {gone, secret, hidden}) {
        const QRectF first = toUser(word);
        masks.append({QRectF(first.left(), first.top(), 4, first.height()), Qt::white});
    }
    const PDFPageText text = textOf(filtered(pdf, {{0, masks}}));
    EXPECT_FALSE(text.text.contains(QStringLiteral("gone")));
    EXPECT_TRUE(text.text.contains(QStringLiteral("one"))) << text.text.toStdString();
    EXPECT_TRUE(text.text.contains(QStringLiteral("ecret")));
    EXPECT_TRUE(text.text.contains(QStringLiteral("idden")));
    for (const QString& word : {QStringLiteral("after"), QStringLiteral("end"), QStringLiteral("third")}) {
        expectSamePlace(rectOf(text, word), rectOf(before, word));
    }
    const qsizetype lastKeep = before.text.lastIndexOf(QStringLiteral("keep"));
    expectSamePlace(text.characterRects[text.text.lastIndexOf(QStringLiteral("keep"))], before.characterRects[lastKeep]);
}

TEST(PDFContentFilterTest, StatedTextOfMarkedContentGoesWithItsGlyphs)
{
    const QByteArray pdf = pageWith("/Span << /ActualText (Secret name) >> BDC BT /F1 10 Tf 10 100 Td (Secret) Tj ET "
                                    "EMC /Span << /ActualText (Kept) >> BDC BT /F1 10 Tf 10 50 Td (Kept) Tj ET EMC");
    const QByteArray after = filtered(pdf, {{0, {{QRectF(5, 95, 80, 15), Qt::white}}}});
    EXPECT_FALSE(after.contains("Secret"));
    EXPECT_TRUE(textOf(after).text.contains(QStringLiteral("Kept")));
}

TEST(PDFContentFilterTest, SharedFormIsCopiedForThePageThatNeedsIt)
{
    const QByteArray form = "BT /F1 10 Tf 10 100 Td (Shared Secret) Tj ET";
    const QByteArray pdf = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources 6 0 R /Contents 5 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources 6 0 R /Contents 5 0 R >>",
        streamObject("q 1 0 0 1 0 20 cm /Fm Do Q"),
        "<< /XObject << /Fm 7 0 R >> >>",
        streamObject(form, " /Type /XObject /Subtype /Form /BBox [0 0 300 200] /Resources << /Font << /F1 8 0 R >> >>"),
        kMonoFont,
    });
    // "Secret" lies at x 10 + 7 * 6 = 52 ... 88, y 120 (moved up by the page's cm).
    const QByteArray after = filtered(pdf, {{0, {{QRectF(50, 115, 40, 15), Qt::white}}}});
    EXPECT_EQ(textOf(after, 0).text.trimmed(), QStringLiteral("Shared"));
    EXPECT_TRUE(textOf(after, 1).text.contains(QStringLiteral("Shared Secret")));
}

TEST(PDFContentFilterTest, ImagePixelsUnderAMaskArePaintedAndTheRestKept)
{
    // A 4 x 2 RGB image, every pixel a different colour, stretched over
    // (10, 10) ... (50, 30): each pixel is 10 points wide.
    QByteArray samples;
    for (int i = 0; i < 8; ++i) {
        samples += char(10 + i);
        samples += char(100 + i);
        samples += char(200 - i);
    }
    const QByteArray pdf = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /XObject << /Im 5 0 R /Far 5 0 R >> >>"
        " /Contents 4 0 R >>",
        streamObject("q 40 0 0 20 10 10 cm /Im Do Q q 40 0 0 20 200 100 cm /Far Do Q "
                     "q 40 0 0 20 10 150 cm BI /W 4 /H 2 /CS /RGB /BPC 8 /F /AHx ID " +
                     samples.toHex() + "> EI Q"),
        streamObject(samples, " /Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceRGB "
                              "/BitsPerComponent 8"),
    });
    // Covers the left half of the first pixel column's neighbour: pixels
    // (0, 0), (1, 0), (0, 1), (1, 1) and the same in the inline image.
    const QList<PDFMaskRect> masks = {{QRectF(12, 12, 15, 16), QColor(255, 0, 0)},
                                      {QRectF(12, 152, 15, 16), QColor(0, 0, 255)}};
    const QByteArray after = filtered(pdf, {{0, masks}});

    const auto reopened = PDFDocument::open(after);
    ASSERT_TRUE(reopened);
    const QImage image = reopened->renderPage(0, 1);
    // Image rows are y down: the page's y 10...30 is image rows 170...190.
    EXPECT_EQ(image.pixelColor(15, 175), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(25, 185), QColor(255, 0, 0));
    EXPECT_EQ(image.pixelColor(35, 175), QColor(12, 102, 198));
    EXPECT_EQ(image.pixelColor(45, 185), QColor(17, 107, 193));
    EXPECT_EQ(image.pixelColor(15, 35), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(45, 45), QColor(17, 107, 193));
    // The image drawn away from the masks is the same object as before.
    QPDF read;
    read.processMemoryFile("after", after.constData(), size_t(after.size()));
    int originals = 0;
    for (QPDFObjectHandle object : read.getAllObjects()) {
        if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Image")) {
            const std::shared_ptr<Buffer> data = object.getStreamData();
            if (QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize())) == samples)
                ++originals;
        }
    }
    EXPECT_EQ(originals, 1);
}

TEST(PDFContentFilterTest, NoMaskOrNothingUnderAMaskLeavesTheFormAsItIs)
{
    const QByteArray pdf = pageWith("BT /F1 10 Tf 10 100 Td (Hello) Tj ET");
    QPDF document;
    document.processMemoryFile("test", pdf.constData(), size_t(pdf.size()));
    QPDFObjectHandle form = QPDFPageDocumentHelper(document).getAllPages().front().getFormXObjectForPage(false);
    EXPECT_TRUE(removeContentUnderMasks(document, form, {}).isSameObjectAs(form));
    EXPECT_TRUE(removeContentUnderMasks(document, form, {{QRectF(200, 10, 50, 50), Qt::white}}).isSameObjectAs(form));
}

TEST(PDFContentFilterTest, ContentThatCannotBeReadOrMeasuredIsRefused)
{
    const QList<PDFMaskRect> masks = {{QRectF(0, 0, 300, 200), Qt::white}};
    const auto refuses = [&](const QByteArray& pdf) {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processMemoryFile("test", pdf.constData(), size_t(pdf.size()));
        QPDFObjectHandle form = QPDFPageDocumentHelper(document).getAllPages().front().getFormXObjectForPage(false);
        try {
            removeContentUnderMasks(document, form, masks);
        } catch (const PDFUnfilterableContent&) {
            return true;
        }
        return false;
    };
    // A string that never ends, a stray array end, a font nobody can measure,
    // a font the page does not have.
    EXPECT_TRUE(refuses(pageWith("BT /F1 10 Tf 10 100 Td (Hello Tj ET")));
    EXPECT_TRUE(refuses(pageWith("BT /F1 10 Tf 10 100 Td (Hello) Tj ] ET")));
    EXPECT_TRUE(refuses(test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >> /Contents 4 0 R >>",
        streamObject("BT /F1 10 Tf 10 100 Td (Hello) Tj ET"),
        "<< /Type /Font /Subtype /TrueType /BaseFont /MysteryFont >>",
    })));
    EXPECT_TRUE(refuses(pageWith("BT /F9 10 Tf 10 100 Td (Hello) Tj ET")));
    EXPECT_FALSE(refuses(pageWith("BT /F1 10 Tf 10 100 Td (Hello) Tj ET 0 0 m 10 10 l S")));
}

TEST(PDFContentFilterTest, StandardFontsWithoutWidthsAreMeasuredByTheirMetricFaces)
{
    // The metric faces are read through Qt's font engines.
    if (!test::ensureGuiApplication())
        GTEST_SKIP() << "another kind of application object exists";
    test::TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 300, 200);
    page.texts = {{QPointF(10, 100), 20, "Hello World Again"}};
    const QByteArray pdf = test::makeTestPDF({page});
    const PDFPageText before = textOf(pdf);
    const QRectF world = rectOf(before, QStringLiteral("World"));
    ASSERT_FALSE(world.isNull());
    const QRectF end = before.characterRects[before.text.indexOf(QStringLiteral("d A")) + 1];
    const QRectF mask(world.left() + 1, 200 - world.bottom(), end.left() - world.left() - 2, world.height());
    const PDFPageText text = textOf(filtered(pdf, {{0, {{mask, Qt::white}}}}));
    EXPECT_FALSE(text.text.contains(QStringLiteral("World"))) << text.text.toStdString();
    expectSamePlace(rectOf(text, QStringLiteral("Again")), rectOf(before, QStringLiteral("Again")));
}
