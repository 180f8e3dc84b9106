#include "pdf/PDFDocument.h"
#include "pdf/PDFTextExtraction.h"

#include "core/fonts/TestFonts.h"
#include "core/support/TestPDF.h"
#include "export/PDFExport.h"
#include "fonts/TextFonts.h"
#include "pdf/PDFImport.h"

#include <gtest/gtest.h>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

PDFPageText textOf(const QByteArray& pdf)
{
    const std::unique_ptr<PDFDocument> document = PDFDocument::open(pdf);
    EXPECT_TRUE(document);
    return document ? document->pageText(0) : PDFPageText();
}

// "Item" then "Qty" with `gap` points between them and no blank.
QByteArray wordsApart(double gap)
{
    // "Item" in 12-point Helvetica Bold is 24.67 points wide.
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 300, 100);
    page.texts = {{{20, 50}, 12, "Item", Qt::black, "Helvetica-Bold"}, {{20 + 24.67 + gap, 50}, 12, "Qty"}};
    return makeTestPDF({page});
}

}  // namespace

TEST(PDFTextLayerTest, WordsApartByPositionOnlyAreSeparated)
{
    // A tenth of the font size or less is the room between letters of a word.
    EXPECT_EQ(textOf(wordsApart(0.5)).text.trimmed(), QStringLiteral("ItemQty"));
    for (double gap : {1.5, 3.0, 6.0}) {
        const PDFPageText text = textOf(wordsApart(gap));
        EXPECT_EQ(text.text.trimmed(), QStringLiteral("Item Qty")) << gap;
        ASSERT_EQ(text.characterRects.size(), text.text.size());
        // Every character keeps its rectangle and its run.
        const qsizetype q = text.text.indexOf(QLatin1Char('Q'));
        EXPECT_NEAR(text.characterRects[q].left(), 20 + 24.67 + gap, 0.5);
        for (const PDFTextRun& run : text.runs) {
            if (run.start <= q && q < run.end) {
                EXPECT_EQ(run.fontName, QStringLiteral("Helvetica"));
            }
            if (run.start <= 0 && 0 < run.end) {
                EXPECT_EQ(run.fontName, QStringLiteral("Helvetica-Bold"));
            }
        }
    }
}

TEST(PDFTextLayerTest, InsertedSpacesKeepRunsAndRowsInPlace)
{
    PDFPageText text;
    text.text = QStringLiteral("ab\ncd");
    text.characterRects = {QRectF(0, 0, 5, 10), QRectF(8, 0, 5, 10), QRectF(), QRectF(0, 20, 5, 10),
                           QRectF(5.5, 20, 5, 10)};
    text.runs = {{0, 1, QStringLiteral("A"), 10, Qt::black}, {1, 5, QStringLiteral("B"), 10, Qt::black}};
    separateWordsByGaps(text);
    // A gap of 3 points at 10 points splits; half a point does not, nor does a change of row.
    EXPECT_EQ(text.text, QStringLiteral("a b\ncd"));
    EXPECT_EQ(text.characterRects[1], QRectF(5, 0, 3, 10));
    EXPECT_EQ(text.characterRects[2], QRectF(8, 0, 5, 10));
    EXPECT_EQ(text.runs[0].start, 0);
    EXPECT_EQ(text.runs[0].end, 2);  // the space joins the run before it
    EXPECT_EQ(text.runs[1].start, 2);
    EXPECT_EQ(text.runs[1].end, 6);
}

TEST(PDFTextLayerTest, TableCellsApartByPositionBecomeColumns)
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 400, 100);
    page.texts = {{{20, 50}, 12, "Total"}, {{20 + 28 + 40, 50}, 12, "122.50"}};
    const PDFPageText text = textOf(makeTestPDF({page}));
    const qsizetype start = text.text.indexOf(QLatin1Char('T'));
    const QList<PDFCodec::TextRange> columns =
        PDFCodec::splitIntoColumnRanges(text, {start, text.text.trimmed().size()});
    ASSERT_EQ(columns.size(), 2);
    EXPECT_EQ(text.text.mid(columns[0].location, columns[0].length).trimmed(), QStringLiteral("Total"));
    EXPECT_EQ(text.text.mid(columns[1].location, columns[1].length).trimmed(), QStringLiteral("122.50"));
}

TEST(PDFTextLayerTest, ColumnPiecesKeepTheMarksNextToTheirWords)
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 400, 100);
    page.texts = {{{20, 50}, 12, "Total:"}, {{20 + 31 + 40, 50}, 12, "($122.50)"}};
    const PDFPageText text = textOf(makeTestPDF({page}));
    const QString line = text.text.trimmed();
    const qsizetype start = text.text.indexOf(line);
    QString joined;
    for (const PDFCodec::TextRange& column : PDFCodec::splitIntoColumnRanges(text, {start, line.size()})) {
        joined += text.text.mid(column.location, column.length).trimmed() + QLatin1Char('|');
    }
    EXPECT_EQ(joined, QStringLiteral("Total:|($122.50)|"));
}

namespace {

class PDFFormTextTest : public FontTestBase {};

// Text drawn only inside form XObjects, as iText and others write pages:
// the page's content places the forms, a form holds the text.
QByteArray textInForms()
{
    const QByteArray font = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>";
    const auto stream = [](const QByteArray& data, const QByteArray& keys) {
        return "<< /Length " + QByteArray::number(data.size()) + ' ' + keys + " >>\nstream\n" + data + "\nendstream";
    };
    const QByteArray form = "/Type /XObject /Subtype /Form /BBox [0 0 400 100] /Resources << /Font << /F1 6 0 R >> >>";
    return makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 300] /Contents 4 0 R /Resources << /XObject << /Fm0 5 0 R "
         "/Fm1 7 0 R >> >> >>",
         stream("q 1 0 0 1 20 180 cm /Fm0 Do Q q 1 0 0 1 20 60 cm /Fm1 Do Q", ""),
         stream("BT /F1 14 Tf 0 40 Td (Invoice for the spring season) Tj ET", form), font,
         stream("BT /F1 12 Tf 0 40 Td (Payment due within thirty days) Tj ET", form)});
}

}  // namespace

TEST_F(PDFFormTextTest, TextDrawnInFormsIsEditableAndExportsEdited)
{
    const QByteArray pdf = textInForms();
    VectorDocument document = PDFCodec::importPDF(pdf, QStringLiteral("Forms"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    VectorPage& page = document.pages.front();
    QStringList texts;
    for (const VectorElement& element : page.elements)
        texts.append(element.text()->text);
    EXPECT_EQ(texts, (QStringList{QStringLiteral("Invoice for the spring season"),
                                  QStringLiteral("Payment due within thirty days")}));
    ASSERT_EQ(page.elements.size(), 2);
    // Over the print: the first line's baseline is 80 points from the top.
    VectorElement& line = page.elements[0];
    EXPECT_NEAR(line.frame.x, 20, 1.5);
    EXPECT_NEAR(line.frame.y + line.text()->baselineOffset.value_or(0), 300 - 220, 1.5);

    line.text()->text = QStringLiteral("Invoice for the autumn season");
    PDFCodec::updateTextFrameForEditedContent(line);
    const QByteArray exported = PDFCodec::exportPDF(document);
    const std::unique_ptr<PDFDocument> written = PDFDocument::open(exported);
    ASSERT_TRUE(written);
    const PDFPageText text = written->pageText(0);
    EXPECT_FALSE(text.text.contains(QStringLiteral("spring"))) << qPrintable(text.text);
    const qsizetype autumn = text.text.indexOf(QStringLiteral("Invoice for the autumn season"));
    ASSERT_GE(autumn, 0) << qPrintable(text.text);
    EXPECT_NEAR(text.characterRects[autumn].left(), 20, 1.5);
    EXPECT_NEAR(text.characterRects[autumn].center().y(), 300 - 225, 4);
    EXPECT_TRUE(text.text.contains(QStringLiteral("Payment due within thirty days")));
}

TEST(PDFTextLayerTest, ALineSplitsWhereItsColourChangesOrAWideGapLeavesAColumn)
{
    const auto columnTexts = [](const QByteArray& pdf) {
        const PDFPageText text = textOf(pdf);
        const QString line = text.text.trimmed();
        QStringList pieces;
        for (const PDFCodec::TextRange& column :
             PDFCodec::splitIntoColumnRanges(text, {text.text.indexOf(line), line.size()}))
            pieces.append(text.text.mid(column.location, column.length).trimmed());
        return pieces;
    };
    // "Label" in 12-point Helvetica is 29.35 points wide; a space is 3.34.
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 400, 100);
    page.texts = {{{20, 50}, 12, "Label", QColor(200, 0, 0)}, {{20 + 29.35 + 3.5, 50}, 12, "Value"}};
    EXPECT_EQ(columnTexts(makeTestPDF({page})), (QStringList{QStringLiteral("Label"), QStringLiteral("Value")}));
    page.texts[0].color = Qt::black;
    EXPECT_EQ(columnTexts(makeTestPDF({page})), QStringList{QStringLiteral("Label Value")});

    // Words a space apart, then a gap of 14 points: narrower than a column
    // gap alone, but four times the row's spaces.
    page.texts = {{{20, 50}, 12, "Net amount due now"}, {{20 + 110.74 + 14, 50}, 12, "Paid"}};
    EXPECT_EQ(columnTexts(makeTestPDF({page})),
              (QStringList{QStringLiteral("Net amount due now"), QStringLiteral("Paid")}));
}

class PDFTextLayerFontTest : public FontTestBase {};

TEST_F(PDFTextLayerFontTest, TextWhoseDescriptorGivesFlatBoxesImportsAsEditableLines)
{
    // A TrueType font whose descriptor writes its ascent and descent as
    // units instead of thousandths: poppler's boxes of its glyphs are a
    // tenth of a point tall for 10-point text.
    const QByteArray program = liberationSansRegular();
    const QByteArray content = "BT /F1 10 Tf 40 160 Td (Payment is due within thirty days) Tj 0 -14 Td "
                               "(Please quote the invoice number) Tj 0 -14 Td (Thank you for your order) Tj ET";
    const auto stream = [](const QByteArray& data) {
        return "<< /Length " + QByteArray::number(data.size()) + " >>\nstream\n" + data + "\nendstream";
    };
    const QByteArray pdf = makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Contents 4 0 R /Resources << /Font << /F1 5 0 R >> >> >>",
        stream(content),
        "<< /Type /Font /Subtype /TrueType /BaseFont /ABCDEF+LiberationSans /Encoding /WinAnsiEncoding "
        "/FontDescriptor 6 0 R >>",
        "<< /Type /FontDescriptor /FontName /ABCDEF+LiberationSans /Flags 32 /FontBBox [-1 -1 10 10] "
        "/ItalicAngle 0 /Ascent 9.464 /Descent -2.73 /CapHeight 7 /StemV 80 /FontFile2 7 0 R >>",
        stream(program),
    });

    // The glyphs' boxes are as tall as the font size, on the baseline.
    const PDFPageText text = textOf(pdf);
    const qsizetype payment = text.text.indexOf(QStringLiteral("Payment"));
    ASSERT_GE(payment, 0) << qPrintable(text.text);
    EXPECT_NEAR(text.characterRects[payment].height(), 10, 0.5);
    EXPECT_LT(text.characterRects[payment].top(), 200 - 160 - 6);
    EXPECT_GT(text.characterRects[payment].bottom(), 200 - 160);

    // Every line is an editable line over its print.
    const VectorDocument document = PDFCodec::importPDF(pdf, QStringLiteral("Flat"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    QStringList lines;
    for (const VectorElement& element : document.pages.front().elements) {
        ASSERT_TRUE(element.text());
        lines.append(element.text()->text);
        EXPECT_NEAR(element.text()->fontSize, 10, 1.5) << qPrintable(element.text()->text);
        EXPECT_GT(element.frame.height, 5) << qPrintable(element.text()->text);
    }
    EXPECT_EQ(lines, (QStringList{QStringLiteral("Payment is due within thirty days"),
                                  QStringLiteral("Please quote the invoice number"),
                                  QStringLiteral("Thank you for your order")}));
}
