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

#include <QRegularExpression>

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
QByteArray filtered(const QByteArray& pdf, const std::map<int, QList<PDFMaskRect>>& masks,
                    const QList<PDFPrintedLine>& keptLines = {})
{
    QPDF document;
    document.setSuppressWarnings(true);
    document.processMemoryFile("test", pdf.constData(), size_t(pdf.size()));
    std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(document).getAllPages();
    for (const auto& [index, pageMasks] : masks) {
        QPDFPageObjectHelper& page = pages[size_t(index)];
        QPDFObjectHandle form = page.getFormXObjectForPage(false);
        form.removeKey("/Matrix");
        QPDFObjectHandle result = removeContentUnderMasks(document, form, pageMasks, keptLines);
        if (result.isSameObjectAs(form))
            continue;  // nothing changed: the page stays as it is
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
        "<< /Type /Font /Subtype /TrueType /BaseFont /MysteryFont /FirstChar 0.5 /Widths [600] >>",
    })));
    EXPECT_TRUE(refuses(pageWith("BT /F9 10 Tf 10 100 Td (Hello) Tj ET")));
    // Numbers run into what follows them, which readers split.
    for (const char* run : {"10 100Td", "10 1.0.0 Td", "10 -1-2 Td", "10 100 Td [(He) 3e2 (llo)] TJ"})
        EXPECT_TRUE(refuses(pageWith("BT /F1 10 Tf " + QByteArray(run) + " (Hello) Tj ET"))) << run;
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

namespace {

// Every object of a written file as text, streams decoded: what a look at
// the decompressed file shows.
QByteArray decodedFile(const QByteArray& pdf)
{
    QPDF read;
    read.setSuppressWarnings(true);
    read.processMemoryFile("look", pdf.constData(), size_t(pdf.size()));
    QByteArray all;
    for (QPDFObjectHandle object : read.getAllObjects()) {
        if (object.isStream()) {
            all += QByteArray::fromStdString(object.getDict().unparse()) + "\n";
            try {
                const std::shared_ptr<Buffer> data = object.getStreamData(qpdf_dl_all);
                all += QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
            } catch (const std::exception&) {
            }
        } else {
            all += QByteArray::fromStdString(object.unparse());
        }
        all += "\n";
    }
    return all;
}

// The decoded data of the image streams of a written file.
QList<QByteArray> imageData(const QByteArray& pdf)
{
    QPDF read;
    read.processMemoryFile("images", pdf.constData(), size_t(pdf.size()));
    QList<QByteArray> images;
    for (QPDFObjectHandle object : read.getAllObjects()) {
        if (object.isStream() && object.getDict().getKey("/Subtype").isNameAndEquals("/Image")) {
            const std::shared_ptr<Buffer> data = object.getStreamData(qpdf_dl_all);
            images.append(QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize())));
        }
    }
    return images;
}

QByteArray decoded(QPDFObjectHandle stream)
{
    const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_all);
    return QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
}

// The sample of pixel x of a row of `bits`-bit samples.
int sampleAt(const QByteArray& row, int x, int bits)
{
    const int bit = x * bits;
    const int byte = static_cast<unsigned char>(row[bit / 8]);
    return (byte >> (8 - bit % 8 - bits)) & ((1 << bits) - 1);
}

}  // namespace

TEST(PDFContentFilterTest, MarkedContentLosesWhatItStatesWithAnyRemovedGlyphAlsoAroundIt)
{
    // Statements in place and through named property lists, an outer one
    // around an inner one, and the same around kept text.
    const QByteArray pdf = pageWith(
        "/Art << /ActualText (Outer statement) >> BDC "
        "/Span << /Alt (Inner alternate) /E (Expanded form) /Lang (fr) >> BDC "
        "BT /F1 10 Tf 10 150 Td (Secret) Tj ET EMC EMC "
        "/Span /MC0 BDC BT /F1 10 Tf 10 100 Td (Hidden) Tj ET EMC "
        "/Span /MC1 BDC BT /F1 10 Tf 10 50 Td (Kept) Tj ET EMC "
        "/Span << /ActualText (Kept statement) >> BDC BT /F1 10 Tf 10 20 Td (Kept) Tj ET EMC",
        "/Properties << /MC0 << /ActualText (Named statement) /Alt (Named alternate) >> "
        "/MC1 << /ActualText (Kept named) >> >>");
    const QByteArray after = filtered(pdf, {{0, {{QRectF(5, 145, 60, 15), Qt::white},
                                                 {QRectF(5, 95, 60, 15), Qt::white}}}});
    const QByteArray file = decodedFile(after);
    for (const char* gone : {"Outer statement", "Inner alternate", "Expanded form", "Named statement",
                             "Named alternate", "Secret", "Hidden"})
        EXPECT_FALSE(file.contains(gone)) << gone;
    for (const char* kept : {"Kept statement", "Kept named", "(fr)"})
        EXPECT_TRUE(file.contains(kept)) << kept;
    const PDFPageText text = textOf(after);
    EXPECT_EQ(text.text.count(QStringLiteral("Kept")), 2) << text.text.toStdString();
}

TEST(PDFContentFilterTest, SharedPropertyListsAndMarkedPointsLoseWhatTheyStateOfRemovedGlyphs)
{
    // /MC0 names both a kept line (first) and a removed one; points state
    // text right after removed text, and inside marked content that loses
    // glyphs but after kept text, and beside kept text.
    const QByteArray pdf = pageWith(
        "/Span /MC0 BDC BT /F1 10 Tf 10 20 Td (Kept) Tj ET EMC "
        "/Note << /ActualText (Kept point) >> DP "
        "BT /F1 10 Tf 10 50 Td (Kept) Tj ET "
        "/Span /MC0 BDC BT /F1 10 Tf 10 150 Td (Secret) Tj ET EMC "
        "BT /F1 10 Tf 10 125 Td (Gone) Tj ET /Note << /E (Point after) >> DP "
        "/Span << /Lang (en) >> BDC BT /F1 10 Tf 10 100 Td (Hidden) Tj ET /Note /MC1 DP "
        "BT /F1 10 Tf 10 80 Td (Also) Tj ET /Note << /Alt (Point inside) >> DP EMC",
        "/Properties << /MC0 << /ActualText (Named statement) /Lang (de) >> "
        "/MC1 << /ActualText (Named point) >> >>");
    const QByteArray after = filtered(pdf, {{0, {{QRectF(5, 145, 60, 15), Qt::white},
                                                 {QRectF(5, 120, 60, 15), Qt::white},
                                                 {QRectF(5, 95, 60, 15), Qt::white}}}});
    const QByteArray file = decodedFile(after);
    for (const char* gone : {"Named statement", "Point inside", "Named point", "Point after", "Secret", "Hidden",
                             "Gone"})
        EXPECT_FALSE(file.contains(gone)) << gone;
    for (const char* kept : {"Kept point", "(en)", "(de)"})
        EXPECT_TRUE(file.contains(kept)) << kept;
    const PDFPageText text = textOf(after);
    EXPECT_EQ(text.text.count(QStringLiteral("Kept")), 2) << text.text.toStdString();
    EXPECT_TRUE(text.text.contains(QStringLiteral("Also"))) << text.text.toStdString();
}

TEST(PDFContentFilterTest, VerticalColumnLosesItsMiddleGlyphAndKeepsTheOthersInPlace)
{
    // Five glyphs down a column (Identity-V, each 1 em down, position vector
    // 250 across and 880 up), the second to the fifth moved half an em
    // further down by the array; the third under the mask: at size 20 the
    // glyph k has its box centre at x 100, y 180 - 20 k - 10 - 13.6.
    const QByteArray content = "BT /F2 20 Tf 100 180 Td [<0001> 500 <0002000300040005>] TJ ET";
    const QByteArray pdf = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F2 5 0 R >> >> "
        "/Contents 4 0 R >>",
        streamObject(content),
        "<< /Type /Font /Subtype /Type0 /BaseFont /Column /Encoding /Identity-V /DescendantFonts [6 0 R] >>",
        "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /Column /CIDSystemInfo << /Registry (Adobe) "
        "/Ordering (Identity) /Supplement 0 >> /W [1 5 500] /W2 [1 5 -1000 250 880] >>",
    });
    const QByteArray after = filtered(pdf, {{0, {{QRectF(95, 110, 10, 12), Qt::white}}}});
    QPDF read;
    read.processMemoryFile("after", after.constData(), size_t(after.size()));
    QPDFObjectHandle form = QPDFPageDocumentHelper(read).getAllPages().front().getFormXObjects().begin()->second;
    const QByteArray written = decoded(form);
    // The kept glyphs, and one em (1000) down in place of the third.
    EXPECT_TRUE(written.contains("[<0001>500 <0002>1000 <00040005>] TJ")) << written.toStdString();
}

TEST(PDFContentFilterTest, FormScaledByItsMatrixAfterATranslationLosesWhatLiesUnderTheMask)
{
    // The form's text at (10, 40) in its space is at (70, 100) on the page
    // after its matrix (scale 2) and the page's translation (50, 20); its
    // 6-point glyphs are 12 points wide there: "Gone" spans 130 ... 178. The
    // same place is reached by a page scaling by 2 and then translating by
    // (25, 10) in the scaled space, the form's matrix doing nothing.
    const QList<std::pair<QByteArray, QByteArray>> ways = {
        {"q 1 0 0 1 50 20 cm /Fm Do Q", "[2 0 0 2 0 0]"},
        {"q 2 0 0 2 0 0 cm 1 0 0 1 25 10 cm /Fm Do Q", "[1 0 0 1 0 0]"},
    };
    for (const auto& [page, matrix] : ways) {
        SCOPED_TRACE(page.toStdString());
        const QByteArray pdf = test::makeRawTestPDF({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /XObject << /Fm 5 0 R >> >> "
            "/Contents 4 0 R >>",
            streamObject(page),
            streamObject("BT /F1 10 Tf 10 40 Td (Keep Gone) Tj ET",
                         " /Type /XObject /Subtype /Form /BBox [0 0 150 100] /Matrix " + matrix +
                             " /Resources << /Font << /F1 6 0 R >> >>"),
            kMonoFont,
        });
        const PDFPageText before = textOf(pdf);
        const QByteArray after = filtered(pdf, {{0, {{QRectF(128, 98, 52, 18), Qt::white}}}});
        const PDFPageText text = textOf(after);
        EXPECT_EQ(text.text.trimmed(), QStringLiteral("Keep")) << text.text.toStdString();
        expectSamePlace(rectOf(text, QStringLiteral("Keep")), rectOf(before, QStringLiteral("Keep")));
    }
}

TEST(PDFContentFilterTest, OriginalsReplacedByCleanedCopiesAreNoLongerInTheFile)
{
    // A form with the words and an image, each replaced by a cleaned copy.
    const QByteArray samples = QByteArray(16, char(0x33));
    const QByteArray pdf = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /XObject << /Fm 5 0 R /Im 7 0 R >> >> "
        "/Contents 4 0 R >>",
        streamObject("/Fm Do q 40 0 0 20 200 10 cm /Im Do Q"),
        streamObject("BT /F1 10 Tf 10 100 Td (Formword Removedword) Tj ET",
                     " /Type /XObject /Subtype /Form /BBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> >>"),
        kMonoFont,
        streamObject(samples, " /Type /XObject /Subtype /Image /Width 4 /Height 4 /ColorSpace /DeviceGray "
                              "/BitsPerComponent 8"),
    });
    // "Removedword" starts at 10 + 9 * 6 = 64; the mask takes the image's left half.
    const QByteArray after =
        filtered(pdf, {{0, {{QRectF(63, 95, 70, 15), Qt::white}, {QRectF(195, 5, 25, 30), Qt::white}}}});
    EXPECT_FALSE(decodedFile(after).contains("Removedword"));
    EXPECT_TRUE(textOf(after).text.contains(QStringLiteral("Formword")));
    EXPECT_FALSE(imageData(after).contains(samples));
    EXPECT_EQ(imageData(after).size(), 1);
}

TEST(PDFContentFilterTest, FormWithoutResourcesDrawsWithThePagesFontAndImage)
{
    QByteArray samples;
    for (int i = 0; i < 8; ++i)
        samples += char(20 * i);
    const QByteArray pdf = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> "
        "/XObject << /Fm 5 0 R /Im 7 0 R >> >> /Contents 4 0 R >>",
        streamObject("/Fm Do"),
        streamObject("BT /F1 10 Tf 10 100 Td (Keep Secret) Tj ET q 40 0 0 20 10 10 cm /Im Do Q",
                     " /Type /XObject /Subtype /Form /BBox [0 0 300 200]"),
        kMonoFont,
        streamObject(samples, " /Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceGray "
                              "/BitsPerComponent 8"),
    });
    // "Secret" spans 40 ... 76; the second mask takes the image's first column.
    const QByteArray after =
        filtered(pdf, {{0, {{QRectF(39, 95, 40, 15), Qt::white}, {QRectF(10, 10, 10, 20), Qt::black}}}});
    const PDFPageText text = textOf(after);
    EXPECT_EQ(text.text.trimmed(), QStringLiteral("Keep")) << text.text.toStdString();
    const QList<QByteArray> images = imageData(after);
    ASSERT_EQ(images.size(), 1);
    EXPECT_EQ(images[0], QByteArray("\0\x14\x28\x3c\0\x64\x78\x8c", 8));

    // With only text gone, the cleaned copy still names the font in
    // resources of its own: a reader that looks names up in the page's
    // resources (where the copy is no longer drawn from) finds it there.
    const QByteArray textOnly = filtered(pdf, {{0, {{QRectF(39, 95, 40, 15), Qt::white}}}});
    EXPECT_EQ(textOf(textOnly).text.trimmed(), QStringLiteral("Keep"));
    QPDF read;
    read.processMemoryFile("after", textOnly.constData(), size_t(textOnly.size()));
    int copies = 0;
    for (QPDFObjectHandle object : read.getAllObjects()) {
        if (!object.isStream() || !object.getDict().getKey("/Subtype").isNameAndEquals("/Form"))
            continue;
        const QByteArray content = decoded(object);
        if (content.contains("Keep")) {
            ++copies;
            EXPECT_TRUE(object.getDict().getKey("/Resources").getKey("/Font").hasKey("/F1"));
        }
    }
    EXPECT_EQ(copies, 1);
}

TEST(PDFContentFilterTest, SoftMaskAndStencilMaskOfAnImageShowNothingUnderTheMask)
{
    // A 4 x 2 grey image over (10, 10) ... (50, 30), with a soft mask of
    // other values, and the same image with a stencil mask instead.
    const QByteArray grey("\x10\x20\x30\x40\x50\x60\x70\x80", 8);
    const QByteArray alpha("\x00\x40\x80\xc0\x00\x40\x80\xc0", 8);
    // Stencil rows of 4 bits: 1 leaves the page unpainted.
    const QByteArray stencil("\xa0\x50", 2);
    const QByteArray pdf = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /XObject << /Im 5 0 R /St 7 0 R >> >>"
        " /Contents 4 0 R >>",
        streamObject("q 40 0 0 20 10 10 cm /Im Do Q q 40 0 0 20 10 100 cm /St Do Q"),
        streamObject(grey, " /Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceGray "
                           "/BitsPerComponent 8 /SMask 6 0 R"),
        streamObject(alpha, " /Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceGray "
                            "/BitsPerComponent 8"),
        streamObject(grey, " /Type /XObject /Subtype /Image /Width 4 /Height 2 /ColorSpace /DeviceGray "
                           "/BitsPerComponent 8 /Mask 8 0 R"),
        streamObject(stencil, " /Type /XObject /Subtype /Image /Width 4 /Height 2 /ImageMask true"),
    });
    // The first two columns of both images.
    const QByteArray after =
        filtered(pdf, {{0, {{QRectF(10, 10, 20, 20), Qt::black}, {QRectF(10, 100, 20, 20), Qt::black}}}});
    QPDF read;
    read.processMemoryFile("after", after.constData(), size_t(after.size()));
    int softMasks = 0;
    int stencils = 0;
    for (QPDFObjectHandle object : read.getAllObjects()) {
        if (!object.isStream() || !object.getDict().getKey("/Subtype").isNameAndEquals("/Image"))
            continue;
        QPDFObjectHandle dict = object.getDict();
        if (dict.hasKey("/SMask")) {
            ++softMasks;
            EXPECT_EQ(decoded(dict.getKey("/SMask")), QByteArray("\xff\xff\x80\xc0\xff\xff\x80\xc0", 8));
            EXPECT_EQ(decoded(object), QByteArray("\0\0\x30\x40\0\0\x70\x80", 8));
        }
        if (dict.hasKey("/Mask")) {
            ++stencils;
            // Shown (0) under the mask, the rest as it was.
            EXPECT_EQ(decoded(dict.getKey("/Mask")), QByteArray("\x20\x10", 2));
        }
    }
    EXPECT_EQ(softMasks, 1);
    EXPECT_EQ(stencils, 1);
    // Under the mask the page shows the mask's colour through both.
    const auto reopened = PDFDocument::open(after);
    ASSERT_TRUE(reopened);
    const QImage image = reopened->renderPage(0, 1);
    EXPECT_EQ(image.pixelColor(15, 185), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(25, 175), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(15, 95), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(25, 85), QColor(Qt::black));
}

TEST(PDFContentFilterTest, ImagesOfFewBitsWhoseRowsEndInsideAByteLoseOnlyTheMaskedPixels)
{
    for (const int bits : {1, 2, 4}) {
        SCOPED_TRACE(bits);
        // 13 x 3 grey pixels, every pixel a value of its own (modulo the
        // depth), over (0, 0) ... (130, 30): pixel x spans 10 x ... 10 x + 10.
        const int stride = (13 * bits + 7) / 8;
        const int highest = (1 << bits) - 1;
        QByteArray samples(stride * 3, '\0');
        const auto value = [&](int x, int y) { return (x * 3 + y + 1) % (highest + 1); };
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 13; ++x) {
                const int bit = x * bits;
                samples[y * stride + bit / 8] =
                    char(static_cast<unsigned char>(samples[y * stride + bit / 8]) | (value(x, y) << (8 - bit % 8 - bits)));
            }
        }
        const QByteArray pdf = test::makeRawTestPDF({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /XObject << /Im 5 0 R >> >>"
            " /Contents 4 0 R >>",
            streamObject("q 130 0 0 30 0 0 cm /Im Do Q"),
            streamObject(samples, " /Type /XObject /Subtype /Image /Width 13 /Height 3 /ColorSpace /DeviceGray "
                                  "/BitsPerComponent " + QByteArray::number(bits)),
        });
        // The middle column (x 60 ... 70), painted white (the highest value).
        const QList<QByteArray> images = imageData(filtered(pdf, {{0, {{QRectF(61, 0, 8, 30), Qt::white}}}}));
        ASSERT_EQ(images.size(), 1);
        ASSERT_EQ(images[0].size(), samples.size());
        for (int y = 0; y < 3; ++y) {
            const QByteArray row = images[0].mid(y * stride, stride);
            for (int x = 0; x < 13; ++x)
                EXPECT_EQ(sampleAt(row, x, bits), x == 6 ? highest : value(x, y)) << x << "," << y;
            // The bits after the last pixel stay as they were (zero).
            const int padding = stride * 8 - 13 * bits;
            EXPECT_EQ(static_cast<unsigned char>(row.back()) & ((1 << padding) - 1), 0);
        }
    }
}

TEST(PDFContentFilterTest, FontsClaimingHugeAscentOrDescentLoseTheirMaskedLineLikeAnyOther)
{
    for (const QByteArray& claims : {QByteArray("/Ascent 3000 /Descent -200 /FontBBox [0 -200 600 3000]"),
                                     QByteArray("/Ascent 800 /Descent -3000 /FontBBox [0 -3000 600 800]")}) {
        SCOPED_TRACE(claims.toStdString());
        const QByteArray pdf = test::makeRawTestPDF({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >> "
            "/Contents 4 0 R >>",
            streamObject("BT /F1 12 Tf 10 120 Td (Secret words) Tj 0 -30 Td (Kept words) Tj ET"),
            "<< /Type /Font /Subtype /Type1 /BaseFont /Liar /FirstChar 32 /LastChar 126 /Widths [" +
                QByteArray("600 ").repeated(95) + "] /Encoding /WinAnsiEncoding /FontDescriptor 6 0 R >>",
            "<< /Type /FontDescriptor /FontName /Liar /Flags 32 /ItalicAngle 0 /CapHeight 700 /StemV 80 " + claims +
                " >>",
        });
        // The line's box as the reader gives it, grown as a mask is.
        const PDFPageText before = textOf(pdf);
        const qsizetype end = before.text.indexOf(QStringLiteral("words"));
        ASSERT_GE(end, 0);
        QRectF line;
        for (qsizetype i = 0; i < end + 5; ++i)
            line = line.united(before.characterRects[i]);
        const QRectF mask(line.left() - 0.6, 200 - line.bottom() - 0.5, line.width() + 1.2, line.height() + 1.0);
        const PDFPageText text = textOf(filtered(pdf, {{0, {{mask, Qt::white}}}}));
        EXPECT_FALSE(text.text.contains(QStringLiteral("Secret"))) << text.text.toStdString();
        EXPECT_TRUE(text.text.contains(QStringLiteral("Kept words"))) << text.text.toStdString();
    }
}

TEST(PDFContentFilterTest, UnchangedLineUnderAChangedNeighboursMaskKeepsEveryGlyph)
{
    // Two lines of 12-point text, the lower one's baseline 8 points (the
    // boxes touch) or 5 points (they overlap) under the upper one's; the
    // upper one changed or deleted.
    for (const int gap : {8, 5}) {
        SCOPED_TRACE(gap);
        // Glyph boxes reach 0.8 em up and 0.2 em down, for the reader too.
        const QByteArray pdf = test::makeRawTestPDF({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >> "
            "/Contents 4 0 R >>",
            streamObject("BT /F1 12 Tf 10 100 Td (Upper gone line) Tj 0 -" + QByteArray::number(gap) +
                         " Td (scene. Lower kept) Tj ET"),
            kMonoFont.chopped(2) + " /FontDescriptor 6 0 R >>",
            "<< /Type /FontDescriptor /FontName /Mono /Flags 32 /FontBBox [0 -200 600 800] /ItalicAngle 0 "
            "/Ascent 800 /Descent -200 /CapHeight 700 /StemV 80 >>",
        });
        // The reader's boxes of the glyphs of each line, told apart by their tops.
        const auto glyphBoxes = [](const PDFPageText& text) {
            QList<QRectF> boxes;
            for (qsizetype i = 0; i < text.text.size() && i < text.characterRects.size(); ++i) {
                if (!text.text[i].isSpace())
                    boxes.append(text.characterRects[i]);
            }
            return boxes;
        };
        const QList<QRectF> all = glyphBoxes(textOf(pdf));
        double highest = 1e9;
        for (const QRectF& r : all)
            highest = std::min(highest, r.top());
        QList<QRectF> lowerGlyphs;
        QRectF upperBox;
        QRectF lowerBox;
        for (const QRectF& r : all) {
            const QRectF inUser(r.left(), 200 - r.bottom(), r.width(), r.height());
            if (r.top() < highest + gap / 2.0) {
                upperBox |= inUser;
            } else {
                lowerBox |= inUser;
                lowerGlyphs.append(r);
            }
        }
        ASSERT_EQ(lowerGlyphs.size(), 15);
        const QRectF mask = upperBox.adjusted(-0.6, -0.5, 0.6, 0.5);
        ASSERT_TRUE(mask.intersects(lowerBox));
        PDFMaskRect changed{mask, Qt::white, PDFPrintedLine{QLineF(10, 100, upperBox.right(), 100), 12, upperBox}};
        const PDFPrintedLine kept{QLineF(10, 100 - gap, lowerBox.right(), 100 - gap), 12, lowerBox};
        const auto expectLowerLineWhole = [&](const PDFPageText& text) {
            EXPECT_EQ(text.text.simplified(), QStringLiteral("scene. Lower kept"));
            const QList<QRectF> left = glyphBoxes(text);
            ASSERT_EQ(left.size(), lowerGlyphs.size());
            for (const QRectF& r : lowerGlyphs) {
                bool found = false;
                for (const QRectF& l : left)
                    found = found || (std::abs(l.left() - r.left()) < 0.01 && std::abs(l.top() - r.top()) < 0.01);
                EXPECT_TRUE(found) << r.left() << "," << r.top();
            }
        };
        // The upper line changed, or deleted (a redacted area that is its box).
        expectLowerLineWhole(textOf(filtered(pdf, {{0, {changed}}}, {kept})));
        expectLowerLineWhole(textOf(filtered(pdf, {{0, {{mask, Qt::white}}}}, {kept})));

        // A redacted area over both lines takes what it covers of each.
        const PDFPageText both = textOf(filtered(pdf, {{0, {{mask.united(lowerBox), Qt::white}}}}, {kept}));
        EXPECT_TRUE(both.text.simplified().isEmpty()) << both.text.toStdString();
    }
}

TEST(PDFContentFilterTest, GlyphGoesWhenTheMiddleOfItsBoxIsUnderAMask)
{
    // Boxes of 6 x 10 points (0.8 em up, 0.2 em down): "X" spans 10 ... 16
    // and 98 ... 108, its middle at (13, 103). Thin masks through that
    // middle, across and along; "Y" and "Z" keep theirs.
    const QByteArray pdf = pageWith("BT /F1 10 Tf 10 100 Td (XYZ) Tj 0 -40 Td (XYZ) Tj ET");
    const PDFPageText text = textOf(filtered(
        pdf, {{0, {{QRectF(12.8, 95, 0.4, 15), Qt::white}, {QRectF(8, 62.8, 8, 0.4), Qt::white}}}}));
    EXPECT_EQ(text.text.simplified(), QStringLiteral("YZ YZ"));
}

TEST(PDFContentFilterTest, GlyphsOnAChangedLinesBaselineGoWhereTheirBoxesReachPastItsMask)
{
    // A changed line whose printed box is lower than its glyphs reach (as
    // boxes measured from a scan's ink are): only its baselines' band is
    // under the mask, not the glyphs' centres.
    const QByteArray pdf = pageWith("BT /F1 12 Tf 10 100 Td (Inked line) Tj 0 -40 Td (Other line) Tj ET");
    const QRectF band(8, 99, 80, 3);
    const PDFPageText asLine =
        textOf(filtered(pdf, {{0, {{band, Qt::white, PDFPrintedLine{QLineF(10, 100, 82, 100), 12, band}}}}}));
    EXPECT_EQ(asLine.text.simplified(), QStringLiteral("Other line"));
    // As a redacted area, the band covers no glyph's centre.
    const PDFPageText asArea = textOf(filtered(pdf, {{0, {{band, Qt::white}}}}));
    EXPECT_TRUE(asArea.text.contains(QStringLiteral("Inked line")));
}

TEST(PDFContentFilterTest, GroupOfASoftMaskLosesWhatLiesUnderTheMask)
{
    // A luminosity mask whose group writes words, set while the page is
    // moved by (0, 50): the group's words are at y 150 on the page.
    const QByteArray pdf = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /ExtGState << /Gm 5 0 R >> >> "
        "/Contents 4 0 R >>",
        streamObject("q 1 0 0 1 0 50 cm /Gm gs 0 0 300 150 re f Q"),
        "<< /Type /ExtGState /SMask << /S /Luminosity /G 6 0 R >> >>",
        streamObject("1 g BT /F1 10 Tf 10 100 Td (Maskword Keptword) Tj ET",
                     " /Type /XObject /Subtype /Form /BBox [0 0 300 200] /Group << /S /Transparency /CS /DeviceGray >>"
                     " /Resources << /Font << /F1 7 0 R >> >>"),
        kMonoFont,
    });
    const QByteArray after = filtered(pdf, {{0, {{QRectF(5, 145, 52, 15), Qt::white}}}});
    const QByteArray file = decodedFile(after);
    EXPECT_FALSE(file.contains("Maskword"));
    EXPECT_TRUE(file.contains("Keptword"));
}

TEST(PDFContentFilterTest, GlyphsInEveryDirectionGoUnderTheirOwnMasksOnly)
{
    // Four lines of eight 6-point glyphs, written rightwards, upwards,
    // leftwards and downwards; every other glyph under a mask of its own
    // (written with negative widths or heights in turn), so that the glyph
    // after each masked one lies just past the mask that took the one
    // before it.
    struct Line {
        QByteArray letters;
        QPointF origin;
        QPointF along;  // the direction of writing
        QPointF up;     // the glyphs' up
    };
    const std::vector<Line> lines = {
        {"ABCDEFGH", {20, 150}, {1, 0}, {0, 1}},
        {"IJKLMNOP", {200, 20}, {0, 1}, {-1, 0}},
        {"QRSTUVWX", {150, 120}, {-1, 0}, {0, -1}},
        {"abcdefgh", {250, 180}, {0, -1}, {1, 0}},
    };
    QByteArray content;
    for (const Line& line : lines) {
        content += "q " + QByteArray::number(line.along.x()) + ' ' + QByteArray::number(line.along.y()) + ' ' +
                   QByteArray::number(line.up.x()) + ' ' + QByteArray::number(line.up.y()) + ' ' +
                   QByteArray::number(line.origin.x()) + ' ' + QByteArray::number(line.origin.y()) +
                   " cm BT /F1 10 Tf (" + line.letters + ") Tj ET Q\n";
    }
    const QByteArray pdf = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >> "
        "/Contents 4 0 R >>",
        streamObject(content),
        kMonoFont.chopped(2) + " /FontDescriptor 6 0 R >>",
        "<< /Type /FontDescriptor /FontName /Mono /Flags 32 /FontBBox [0 -200 600 800] /ItalicAngle 0 "
        "/Ascent 800 /Descent -200 /CapHeight 700 /StemV 80 >>",
    });
    ASSERT_EQ(textOf(pdf).text.count(QRegularExpression(QStringLiteral("[A-Xa-h]"))), 32);

    // Areas, and the same masks over changed lines (naming their line).
    for (const bool named : {false, true}) {
        SCOPED_TRACE(named);
        QList<PDFMaskRect> masks;
        int turn = 0;
        for (const Line& line : lines) {
            const QPointF end = line.origin + line.along * 48;
            const PDFPrintedLine printed{QLineF(line.origin, end), 10,
                                         QRectF(line.origin, end + line.up * 8).normalized()};
            for (int glyph = 1; glyph < 8; glyph += 2) {
                // Around the middle of the glyph's box: 3 points up from the
                // middle of its advance.
                const QPointF middle = line.origin + line.along * (6 * glyph + 3) + line.up * 3;
                const QPointF reach = line.along * 2 + line.up * 4;
                QRectF rect = QRectF(middle - reach, middle + reach).normalized();
                switch (turn++ % 4) {
                case 1: rect = QRectF(rect.right(), rect.top(), -rect.width(), rect.height()); break;
                case 2: rect = QRectF(rect.left(), rect.bottom(), rect.width(), -rect.height()); break;
                case 3: rect = QRectF(rect.bottomRight(), rect.topLeft()); break;
                default: break;
                }
                masks.append({rect, Qt::white, named ? std::optional(printed) : std::nullopt});
            }
        }
        const QString text = textOf(filtered(pdf, {{0, masks}})).text;
        for (const Line& line : lines) {
            for (int glyph = 0; glyph < 8; ++glyph) {
                const QChar letter = QLatin1Char(line.letters[glyph]);
                EXPECT_EQ(text.contains(letter), glyph % 2 == 0) << letter.toLatin1() << " in " << text.toStdString();
            }
        }
    }
}
