#include "CodecError.h"
#include "core/fonts/TestFonts.h"
#include "core/support/TestPDF.h"
#include "pdf/PDFImport.h"
#include "pdf/PDFTextExtraction.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>

#include <QFile>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

test::TestPDFPage letter(std::vector<test::TestPDFText> texts, std::vector<test::TestPDFFill> fills = {})
{
    test::TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 612, 792);
    page.texts = std::move(texts);
    page.fills = std::move(fills);
    return page;
}

std::optional<CodecError> importFailure(const QByteArray& data)
{
    try {
        PDFCodec::importPDF(data, QStringLiteral("T"), std::nullopt);
    } catch (const CodecError& error) {
        return error;
    }
    return std::nullopt;
}

QStringList texts(const VectorPage& page)
{
    QStringList result;
    for (const VectorElement& element : page.elements) {
        result.append(element.text()->text);
    }
    return result;
}

class PDFImportTest : public test::FontTestBase {};

// A hand-made page text: one line of words, each word's characters given
// one rectangle per character.
struct LineBuilder {
    PDFPageText page;
    double height = 10;

    void word(const QString& text, double left, double width, double top = 100)
    {
        const double step = width / double(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            page.text.append(text[i]);
            page.characterRects.append(QRectF(left + step * double(i), top, step, height));
        }
    }
    void gap(const QString& spaces)
    {
        for (const QChar c : spaces) {
            page.text.append(c);
            page.characterRects.append(QRectF());
        }
    }
    QList<PDFCodec::TextRange> columns() const
    {
        return PDFCodec::splitIntoColumnRanges(page, {0, page.text.size()});
    }
};

}  // namespace

TEST(PDFImportErrorTest, UnreadableFilesThrowTheImportErrorInTheCurrentLanguage)
{
    test::ScopedLanguage english(AppLanguage::en);
    const QByteArray good = test::makeTestPDF({letter({{QPointF(72, 700), 12, "Hello"}})});
    for (const QByteArray& bad : {QByteArray(), QByteArray("not a pdf at all"), test::makeTestPDF({}),
                                  good.left(40), QByteArray(4096, '\0')}) {
        const auto error = importFailure(bad);
        ASSERT_TRUE(error) << bad.left(20).toStdString();
        EXPECT_EQ(error->domain(), QStringLiteral("PDFCodec"));
        EXPECT_EQ(error->code(), 1);
        EXPECT_EQ(error->message(), QStringLiteral("Invalid or empty PDF file."));
    }
    const auto locked = importFailure(test::encryptTestPDF(good, "secret", "owner"));
    ASSERT_TRUE(locked);
    EXPECT_EQ(locked->code(), 1);
    EXPECT_TRUE(locked->message().contains(QStringLiteral("password-protected")));

    test::ScopedLanguage french(AppLanguage::fr);
    EXPECT_EQ(importFailure(QByteArray("junk"))->message(), QStringLiteral("Fichier PDF invalide ou vide."));
}

TEST_F(PDFImportTest, PagesKeepTheWholeFileAsBackdrop)
{
    test::TestPDFPage small;
    small.mediaBox = QRectF(0, 0, 50, 30);
    test::TestPDFPage turned = letter({});
    turned.rotate = 90;
    test::TestPDFPage offset;
    offset.mediaBox = QRectF(100, 200, 300, 400);
    const QByteArray data = test::makeTestPDF({small, turned, offset});
    const VectorDocument document =
        PDFCodec::importPDF(data, QStringLiteral("Plans"), QUrl::fromLocalFile(QStringLiteral("/tmp/plans.pdf")));

    EXPECT_EQ(document.title, QStringLiteral("Plans"));
    EXPECT_EQ(document.sourceFormat, DocumentSourceFormat::pdf);
    EXPECT_EQ(document.revision, 1);
    EXPECT_EQ(document.fileURL, QUrl::fromLocalFile(QStringLiteral("/tmp/plans.pdf")));
    ASSERT_EQ(document.pages.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const VectorPage& page = document.pages[i];
        EXPECT_EQ(page.title, QStringLiteral("Page %1").arg(i + 1));
        EXPECT_EQ(page.pdfPageIndex, i);
        EXPECT_EQ(page.pdfPageData->constData(), data.constData());  // shared, not copied
        EXPECT_TRUE(page.elements.isEmpty());
        EXPECT_EQ(page.backgroundColorHex, QStringLiteral("#FFFFFF"));
    }
    EXPECT_EQ(document.pages[0].width, 64);
    EXPECT_EQ(document.pages[0].height, 64);
    // Turned as a viewer shows it, the PDF page unturned underneath.
    EXPECT_EQ(document.pages[1].width, 792);
    EXPECT_EQ(document.pages[1].height, 612);
    EXPECT_EQ(document.pages[1].pdfRotation, 90);
    EXPECT_EQ(document.pages[0].pdfRotation, 0);
    EXPECT_EQ(document.pages[2].width, 300);
}

TEST_F(PDFImportTest, TextLinesBecomeElementsOverTheirPrint)
{
    const QByteArray data = test::makeTestPDF({letter({
        {QPointF(72, 700), 12, "Hello World", QColor(255, 0, 0), "Helvetica-Bold"},
        {QPointF(72, 650), 10, "Second line of text", Qt::black, "Times-Roman"},
    })});
    const VectorDocument document = PDFCodec::importPDF(data, QStringLiteral("T"), std::nullopt);
    const VectorPage& page = document.pages[0];
    ASSERT_EQ(texts(page), (QStringList{"Hello World", "Second line of text"}));

    const VectorElement& hello = page.elements[0];
    const TextPayload& payload = *hello.text();
    EXPECT_TRUE(payload.isPDFExtracted);
    EXPECT_FALSE(hello.hasModifiedPDFText());
    EXPECT_EQ(hello.name, QStringLiteral("Hello World"));
    EXPECT_EQ(payload.fontSize, 12);
    EXPECT_TRUE(payload.isBold);
    EXPECT_EQ(payload.postScriptFontName, QStringLiteral("Helvetica-Bold"));
    EXPECT_EQ(payload.fontFamily, QStringLiteral("Helvetica Neue"));
    EXPECT_EQ(hello.style.fillColorHex, QStringLiteral("#FF0000"));  // measured on the pixels
    EXPECT_EQ(payload.maskColorHex, QStringLiteral("#FFFFFF"));
    EXPECT_EQ(payload.originalPDFRect, hello.frame);
    // The frame sits on the ink: capitals 12 pt Helvetica reach about 8.6 pt
    // above the baseline at y = 92.
    EXPECT_NEAR(hello.frame.x, 72, 0.5);
    EXPECT_NEAR(hello.frame.y, 92 - 8.6, 1.0);
    EXPECT_NEAR(hello.frame.y + *payload.baselineOffset, 92, 1.0);
    EXPECT_NEAR(hello.frame.width, 70, 6);

    const TextPayload& second = *page.elements[1].text();
    EXPECT_EQ(second.fontFamily, QStringLiteral("Times New Roman"));
    EXPECT_FALSE(second.isBold);
    EXPECT_EQ(second.fontSize, 10);
    EXPECT_EQ(page.elements[1].style.fillColorHex, QStringLiteral("#111317"));
}

TEST_F(PDFImportTest, FinePrintSmallerThanTheEditorsSmallestSizeImportsUnchanged)
{
    // Footnotes at 4.5 pt: shown at the editor's smallest size, but nothing
    // about them is an edit, so no export masks and redraws them.
    const QByteArray data = test::makeTestPDF({letter({
        {QPointF(72, 700), 4.5, "Fine print under the table"},
        {QPointF(72, 650), 12, "Body text of the page"},
    })});
    const VectorDocument document = PDFCodec::importPDF(data, QStringLiteral("T"), std::nullopt);
    const VectorPage& page = document.pages[0];
    ASSERT_EQ(texts(page), (QStringList{"Fine print under the table", "Body text of the page"}));
    EXPECT_EQ(page.elements[0].text()->fontSize, 5);
    for (const VectorElement& element : page.elements) {
        EXPECT_FALSE(element.hasModifiedPDFText()) << element.text()->text.toStdString();
    }
    EXPECT_TRUE(page.activeMaskRects().isEmpty());
    EXPECT_EQ(document.modifiedPDFTextCount(), 0);
}

TEST_F(PDFImportTest, ColumnsAndColouredBackgrounds)
{
    const QByteArray data = test::makeTestPDF({letter(
        {{QPointF(72, 700), 12, "Left column"},
         {QPointF(320, 700), 12, "Right column"},
         {QPointF(72, 500), 12, "On grey"}},
        {{QRectF(60, 480, 200, 40), QColor(0xDD, 0xDD, 0xDD)}})});
    const VectorDocument document = PDFCodec::importPDF(data, QStringLiteral("T"), std::nullopt);
    const VectorPage& page = document.pages[0];
    QStringList found = texts(page);
    found.sort();
    ASSERT_EQ(found, (QStringList{"Left column", "On grey", "Right column"}));
    for (const VectorElement& element : page.elements) {
        const QString& text = element.text()->text;
        if (text == QLatin1String("Right column")) {
            EXPECT_NEAR(element.frame.x, 320, 0.5);
        }
        EXPECT_EQ(element.text()->maskColorHex, text == QLatin1String("On grey") ? "#DDDDDD" : "#FFFFFF");
    }
}

TEST(PDFColumnSplitTest, GapsTabsAndRows)
{
    // Boxes 10 high, 12 apart: three spaces split (12 > 10), one does not.
    LineBuilder spaced;
    spaced.word("Name", 0, 30);
    spaced.gap("   ");
    spaced.word("Value", 42, 30);
    EXPECT_EQ(spaced.columns().size(), 2);
    EXPECT_EQ(spaced.columns()[1], (PDFCodec::TextRange{7, 5}));

    LineBuilder single;
    single.word("Name", 0, 30);
    single.gap(" ");
    single.word("Value", 42, 30);
    EXPECT_EQ(single.columns().size(), 1);

    // Boxes 12 high: 19 apart stays one line, 25 apart splits.
    for (const auto& [distance, expected] : {std::pair{19.0, 1}, std::pair{25.0, 2}}) {
        LineBuilder wide;
        wide.height = 12;
        wide.word("Name", 0, 30);
        wide.gap(" ");
        wide.word("Value", 30 + distance, 30);
        EXPECT_EQ(wide.columns().size(), expected) << distance;
    }

    LineBuilder tabbed;
    tabbed.word("Name", 0, 30);
    tabbed.gap("\t");
    tabbed.word("Value", 41, 30);
    EXPECT_EQ(tabbed.columns().size(), 2);

    // Words on two rows: midpoints 10 apart with boxes 12 high.
    LineBuilder rows;
    rows.height = 12;
    rows.word("Top", 0, 20);
    rows.gap(" ");
    rows.word("Bottom", 22, 40, 110);
    EXPECT_EQ(rows.columns().size(), 2);

    LineBuilder one;
    one.word("Alone", 0, 30);
    EXPECT_EQ(one.columns(), (QList<PDFCodec::TextRange>{{0, 5}}));
}

TEST(PDFColumnSplitTest, VisualRowsOfASelection)
{
    LineBuilder rows;
    rows.word("Top", 0, 20);
    rows.gap(" ");
    rows.word("Bottom", 22, 40, 130);
    const auto lines = PDFCodec::selectionsByLine(rows.page, {0, rows.page.text.size()});
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], (PDFCodec::TextRange{0, 3}));
    EXPECT_EQ(lines[1], (PDFCodec::TextRange{4, 6}));
    EXPECT_FALSE(PDFCodec::selectionBounds(rows.page, {3, 1}).has_value());
    EXPECT_EQ(*PDFCodec::selectionBounds(rows.page, {0, 3}), QRectF(0, 100, 20, 10));
}

// The bounds of a selection are its characters' rectangles united one after
// the other, bit for bit: rectangles turned inside out, lines without
// height, missing boxes and coordinates that round differently in each order.
TEST(PDFColumnSplitTest, SelectionBoundsAreTheCharactersRectanglesUnited)
{
    PDFPageText page;
    const QList<QRectF> rects = {
        QRectF(),
        QRectF(10.1, 20.3, 0, 0),
        QRectF(0.1, 0.7, 0, 9.3),
        QRectF(0.30000000000000004, 1e-17, 0.6, 0.2),
        QRectF(5.5, 7.25, -3.1, -2.9),
        QRectF(),
        QRectF(1e9 + 0.1, -3.3, 1e-9, 0),
        QRectF(-0.0, -7.7, 12.345678901234567, 0.1),
        QRectF(4.4, 3.3, 2.2, -1.1),
    };
    for (const QRectF& rect : rects) {
        page.text.append(QLatin1Char('x'));
        page.characterRects.append(rect);
    }
    for (qsizetype from = 0; from < rects.size(); ++from) {
        for (qsizetype to = from; to <= rects.size(); ++to) {
            std::optional<QRectF> united;
            for (qsizetype i = from; i < to; ++i) {
                if (!rects[i].isNull())
                    united = united ? united->united(rects[i]) : rects[i];
            }
            const std::optional<QRectF> bounds = PDFCodec::selectionBounds(page, {from, to - from});
            ASSERT_EQ(bounds.has_value(), united.has_value()) << from << " " << to;
            if (bounds) {
                const std::array<double, 4> got = {bounds->x(), bounds->y(), bounds->width(), bounds->height()};
                const std::array<double, 4> want = {united->x(), united->y(), united->width(), united->height()};
                EXPECT_EQ(std::memcmp(got.data(), want.data(), sizeof(got)), 0) << from << " " << to;
            }
        }
    }
    EXPECT_FALSE(PDFCodec::selectionBounds(page, {0, 1}).has_value());
    EXPECT_EQ(PDFCodec::selectionBounds(page, {7, 100}), QRectF(-0.0, -7.7, 12.345678901234567, 0.1).united(rects[8]));
}

TEST_F(PDFImportTest, AFontTheFileHoldsNoProgramOfTakesNoFamilyFromAnotherFile)
{
    // The memo holds a subset of Times-Roman (the URW design), which the
    // import registers under that name.
    QFile memo(QStringLiteral(ZELVANE_TEST_PDF_DIR "/groff-memo.pdf"));
    ASSERT_TRUE(memo.open(QIODevice::ReadOnly));
    const VectorDocument first = PDFCodec::importPDF(memo.readAll(), QStringLiteral("memo"), std::nullopt);
    QString memoFamily;
    for (const VectorElement& element : first.pages[0].elements) {
        if (element.text()->postScriptFontName == QStringLiteral("Times-Roman"))
            memoFamily = element.text()->fontFamily;
    }
    // Its own lines take the family of its program.
    EXPECT_EQ(memoFamily, QStringLiteral("Nimbus Roman"));

    // A file naming Times-Roman without its program gets what it gets in a
    // fresh process, whatever was imported before.
    const QByteArray data =
        test::makeTestPDF({letter({{QPointF(72, 650), 10, "Second line of text", Qt::black, "Times-Roman"}})});
    const VectorDocument document = PDFCodec::importPDF(data, QStringLiteral("T"), std::nullopt);
    ASSERT_EQ(texts(document.pages[0]), QStringList{"Second line of text"});
    EXPECT_EQ(document.pages[0].elements[0].text()->fontFamily, QStringLiteral("Times New Roman"));
}
