#include "pdf/PDFDocument.h"
#include "pdf/PDFTextExtraction.h"

#include "core/support/TestPDF.h"

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
