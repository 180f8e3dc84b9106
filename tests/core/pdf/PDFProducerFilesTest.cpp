// PDFs of other producers (groff with Ghostscript, pdfTeX, cairo), made by
// scripts/make-test-pdfs and kept under tests/data/pdf.

#include "core/fonts/TestFonts.h"
#include "core/support/PDFText.h"
#include "core/support/PagePictures.h"
#include "core/support/TestPDF.h"
#include "operations/VectorOperations.h"
#include "pdf/PDFDocument.h"
#include "export/PDFExport.h"
#include "pdf/PDFImport.h"
#include "pdf/PDFTextExtraction.h"
#include "fonts/SyntheticAccents.h"
#include "fonts/TextFonts.h"
#include "fonts/FontLookup.h"
#include "fonts/FontSubstitutions.h"
#include <QGlyphRun>
#include <QRawFont>
#include <QTextLayout>
#include "render/PageRenderer.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>
#include <atomic>
#include <functional>
#include <thread>
#include <vector>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

class PDFProducerFilesTest : public test::FontTestBase {
protected:
    static QByteArray fixture(const char* name)
    {
        return test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/") + QLatin1String(name));
    }

    static VectorDocument imported(const char* name)
    {
        return PDFCodec::importPDF(fixture(name), QString::fromLatin1(name), std::nullopt);
    }

    static const VectorElement* elementStartingWith(const VectorPage& page, const QString& start)
    {
        for (const VectorElement& element : page.elements) {
            if (element.text() && element.text()->text.startsWith(start))
                return &element;
        }
        return nullptr;
    }

    static bool hasLigatureCharacter(const QString& text)
    {
        for (const QChar c : text) {
            if (c.unicode() >= 0xFB00 && c.unicode() <= 0xFB06)
                return true;
        }
        return false;
    }
};

}  // namespace

namespace {

constexpr double kScale = 2.0;

QImage drawnAt144(const VectorPage& page)
{
    return test::exportedPicture(page, kScale);
}

double strongShare(const QImage& a, const QImage& b, const QRectF& area)
{
    return test::strongShare(a, b, area, kScale);
}

}  // namespace

TEST_F(PDFProducerFilesTest, ARotatedPageImportsTurnedWithItsTextWhereAViewerShowsIt)
{
    const VectorDocument document = imported("groff-landscape.pdf");
    ASSERT_EQ(document.pages.size(), 1);
    const VectorPage& page = document.pages.front();
    EXPECT_EQ(page.pdfRotation, 90);
    EXPECT_EQ(page.width, 842);
    EXPECT_EQ(page.height, 595);
    EXPECT_EQ(page.dimensionsLabel(), QStringLiteral("842\u00D7595 pt (297\u00D7210 mm)"));

    // pdftotext -bbox puts the first word, "A", at x 102...110.7, y 77.8...88.6.
    const VectorElement* line = elementStartingWith(page, QStringLiteral("A landscape page set by groff"));
    ASSERT_TRUE(line);
    EXPECT_NEAR(line->frame.x, 102, 1.0);
    EXPECT_GT(line->frame.y, 77);
    EXPECT_LT(line->frame.y + line->frame.height, 89.5);
    EXPECT_GT(line->frame.width, 400);  // one line across the long side, not a column of letters

    // Exported and drawn as shown.
    const auto exported = PDFDocument::open(PDFCodec::exportPDF(document));
    ASSERT_TRUE(exported);
    EXPECT_EQ(exported->mediaBox(0).size(), QSizeF(842, 595));
    EXPECT_EQ(exported->rotation(0), 0);
    const PDFPageText text = exported->pageText(0);
    const qsizetype at = text.text.indexOf(QStringLiteral("landscape"));
    ASSERT_GE(at, 0);
    EXPECT_NEAR(text.characterRects[at].left(), 114, 1.0);
    EXPECT_NEAR(text.characterRects[at].center().y(), 83.2, 2.0);

    const auto png = PDFCodec::renderPagePNG(page, 1.0);
    ASSERT_TRUE(png);
    EXPECT_EQ(QImage::fromData(*png).size(), QSize(842, 595));
}

TEST_F(PDFProducerFilesTest, UpsideDownAndQuarterTurnedPagesMapTheirText)
{
    for (const int rotate : {90, 180, 270}) {
        test::TestPDFPage page;
        page.mediaBox = QRectF(0, 0, 400, 200);
        page.rotate = rotate;
        page.texts = {{{40, 150}, 12, "Turned words"}};
        const VectorDocument document =
            PDFCodec::importPDF(test::makeTestPDF({page}), QStringLiteral("T"), std::nullopt);
        const VectorPage& imported = document.pages.front();
        EXPECT_EQ(imported.pdfRotation, rotate);
        const bool sideways = rotate != 180;
        EXPECT_EQ(imported.width, sideways ? 200 : 400);
        EXPECT_EQ(imported.height, sideways ? 400 : 200);
        // The text's rectangle is where the turned backdrop draws it.
        const QRectF unturned(40, 200 - 150 - 10, 70, 12);
        const QRectF expected = imported.backdropTransform().mapRect(unturned);
        // One element for the line, turned as its glyphs advance on the page.
        ASSERT_EQ(imported.elements.size(), 1) << rotate;
        const VectorElement& line = imported.elements.front();
        EXPECT_EQ(line.text()->text, QStringLiteral("Turned words")) << rotate;
        EXPECT_EQ(line.rotationDegrees, rotate);
        EXPECT_NEAR(line.text()->fontSize, 12, 1) << rotate;
        EXPECT_GT(line.frame.width, 60) << rotate;
        EXPECT_LT(line.frame.height, 16) << rotate;
        const QRectF found = line.text()->printedPDFBounds()->toQRectF();
        EXPECT_TRUE(expected.adjusted(-4, -4, 4, 4).contains(found)) << rotate;
        EXPECT_FALSE(line.hasModifiedPDFText()) << rotate;
    }
}

TEST_F(PDFProducerFilesTest, ExportedTextExtractsWithoutLigatureCharacters)
{
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("Page 1"), 400, 200,
                                       QStringLiteral("#FFFFFF"));
    const QString typed = QStringLiteral("office affluent waffle first");
    for (const char* family : {"DejaVu Sans", "DejaVu Serif", "Liberation Sans"}) {
        VectorElement element = VectorOperations::makeTextElement(typed, {20, 20}, 14, QStringLiteral("#111317"), false);
        element.text()->fontFamily = QString::fromLatin1(family);
        page.elements = {element};
        const VectorDocument document =
            VectorDocument::make(QUuid::createUuid(), QStringLiteral("T"), DocumentSourceFormat::pdf, std::nullopt,
                                 {page}, 1);
        const auto exported = PDFDocument::open(PDFCodec::exportPDF(document));
        ASSERT_TRUE(exported);
        const QString text = exported->pageText(0).text;
        EXPECT_FALSE(hasLigatureCharacter(text)) << family << ": " << qPrintable(text);
        EXPECT_TRUE(text.simplified().contains(typed)) << family << ": " << qPrintable(text);
    }
}

TEST_F(PDFProducerFilesTest, EditedLinesOfEveryProducerUseTheirOwnPrograms)
{
    for (const char* name : {"pdftex-paper.pdf", "groff-memo.pdf", "cairo-memo.pdf"}) {
        const VectorDocument document = imported(name);
        ASSERT_FALSE(document.pages.isEmpty()) << name;
        EXPECT_GT(document.pages.front().elements.size(), 4) << name;
    }
    const VectorPage page = imported("pdftex-paper.pdf").pages.front();
    const VectorElement* typewriter = elementStartingWith(page, QStringLiteral("int main"));
    const VectorElement* roman = elementStartingWith(page, QStringLiteral("Numbers"));
    ASSERT_TRUE(typewriter && roman);
    EXPECT_EQ(typewriter->text()->postScriptFontName, QStringLiteral("CMTT10"));
    EXPECT_EQ(roman->text()->postScriptFontName, QStringLiteral("CMR10"));
    EXPECT_EQ(roman->text()->fontFamily, QStringLiteral("Computer Modern"));
    // The programs' own widths: no spacing is added to fit the print.
    EXPECT_EQ(roman->text()->letterSpacing, 0);
}

TEST_F(PDFProducerFilesTest, AnEditedLineIsDrawnWhereAndAsItWasPrinted)
{
    // Table cells of the groff memo: single words the editor sets exactly as
    // Ghostscript's subsets print them, on the baseline the reader reports.
    const VectorPage page = imported("groff-memo.pdf").pages.front();
    const QImage printed = drawnAt144(page);
    for (const QString& cell : {QStringLiteral("Item"), QStringLiteral("Price"), QStringLiteral("3.50"),
                                QStringLiteral("Staples")}) {
        VectorPage edited = page;
        QRectF area;
        for (VectorElement& element : edited.elements) {
            TextPayload* text = element.text();
            if (text && text->text == cell) {
                text->originalPDFText = cell + QStringLiteral("\u2060");  // changed, same text
                area = text->originalPDFRect->toQRectF();
            }
        }
        ASSERT_FALSE(area.isEmpty()) << qPrintable(cell);
        EXPECT_LT(strongShare(printed, drawnAt144(edited), area), 0.03) << qPrintable(cell);
    }
}

TEST_F(PDFProducerFilesTest, EditedJustifiedAndKernedLinesKeepTheirPrintedWordPlaces)
{
    for (const char* name : {"groff-memo.pdf", "pdftex-paper.pdf", "cairo-memo.pdf"}) {
        const VectorPage page = imported(name).pages.front();
        const QImage printed = drawnAt144(page);
        VectorPage edited = page;
        VectorElement* line = nullptr;
        for (VectorElement& element : edited.elements) {
            if (element.text() && element.text()->text.startsWith(QStringLiteral("The ef")))
                line = &element;
        }
        ASSERT_TRUE(line) << name;
        TextPayload& text = *line->text();
        const QRectF area = text.originalPDFRect->toQRectF();
        text.originalPDFText = text.text + QStringLiteral("\u2060");  // changed, same text
        EXPECT_LT(strongShare(printed, drawnAt144(edited), area), 0.03) << name;

        // A word changed: the words before it stay where they were printed.
        const qsizetype staff = text.text.indexOf(QStringLiteral("staff"));
        ASSERT_GT(staff, 0) << name;
        text.originalPDFText = text.text;
        text.text.replace(staff, 5, QStringLiteral("crew"));
        const QImage after = drawnAt144(edited);
        const QRectF before(area.left(), area.top(), area.width() * 0.12, area.height());
        EXPECT_LT(strongShare(printed, after, before), 0.03) << name;

        // Exported, the edited words can be found.
        VectorDocument document = imported(name);
        document.pages.front() = edited;
        const auto exported = PDFDocument::open(PDFCodec::exportPDF(document));
        ASSERT_TRUE(exported) << name;
        const QString exportedText = exported->pageText(0).text.simplified();
        // (The printed line stays in the page underneath its mask.)
        EXPECT_TRUE(exportedText.contains(QStringLiteral(" crew ")))
            << name << ": " << qPrintable(exportedText);
    }
}

TEST_F(PDFProducerFilesTest, ACorrectedBulletedLineKeepsItsUprightFaceAndItsBullet)
{
    // A LaTeX list: each bullet, from CMSY10, starts a line set in CMR10 at
    // 10.95 points.
    const QString bullet = QStringLiteral("\u2022");
    VectorDocument document = imported("pdftex-list.pdf");
    VectorPage& page = document.pages.front();
    VectorElement* line = nullptr;
    for (VectorElement& element : page.elements) {
        if (element.text() && element.text()->text.startsWith(bullet + QStringLiteral(" The efficient")))
            line = &element;
    }
    ASSERT_TRUE(line);
    TextPayload& text = *line->text();
    // The face and size of the line's words, not of the bullet.
    EXPECT_EQ(text.postScriptFontName, QStringLiteral("CMR10"));
    EXPECT_EQ(text.fontFamily, QStringLiteral("Computer Modern"));
    EXPECT_FALSE(text.isItalic);
    EXPECT_NEAR(text.fontSize, 10.95, 0.1);

    // One word corrected: drawn over its print, the bullet in its own font
    // and the words before the change where and as they were printed.
    const QImage printed = drawnAt144(page);
    const QRectF area = text.originalPDFRect->toQRectF();
    const QString corrected = bullet + QStringLiteral(" The efficient staff found nine fine offices (on the fifth floor).");
    text.text.replace(QStringLiteral("five"), QStringLiteral("nine"));
    ASSERT_EQ(text.text, corrected);
    PDFCodec::updateTextFrameForEditedContent(*line);
    const std::optional<PDFCodec::PrintedLine> print = PDFCodec::printedLineFor(page, *line);
    ASSERT_TRUE(print);
    const QFont font = PDFCodec::withSymbolFonts(PDFCodec::resolveFont(text, text.fontSize), print->symbolFonts);
    const auto layout = PDFCodec::layOutLine(text.text, font, text.letterSpacing, true);
    for (const QGlyphRun& run : layout->glyphRuns()) {
        const QRawFont raw = run.rawFont();
        const bool drawsBullet = fonts::hasCharacters(raw, bullet) && run.glyphIndexes().contains(
                                                                          raw.glyphIndexesForString(bullet).value(0));
        EXPECT_FALSE(raw.familyName().contains(QLatin1String("DejaVu"))) << qPrintable(raw.familyName());
        if (drawsBullet)
            EXPECT_TRUE(raw.familyName().contains(QLatin1String("CMSY10"))) << qPrintable(raw.familyName());
        else
            EXPECT_EQ(raw.style(), QFont::StyleNormal) << qPrintable(raw.familyName());
    }
    const qsizetype changed = text.text.indexOf(QStringLiteral("nine"));
    const QRectF before(area.left(), area.top(), print->x[changed] - 1, area.height());
    const QRectF mark(area.left(), area.top(), print->x[2] - 1, area.height());
    const QImage exportedPicture = drawnAt144(page);
    const auto canvasPNG = PDFCodec::renderPagePNG(page, kScale);
    ASSERT_TRUE(canvasPNG);
    for (const QImage& drawn : {exportedPicture, QImage::fromData(*canvasPNG)}) {
        EXPECT_LT(strongShare(printed, drawn, before), 0.03);
        EXPECT_LT(strongShare(printed, drawn, mark), 0.03);
    }

    // Exported, the line reads as corrected, bullet and spaces included,
    // and opened again it is the same line in an upright face.
    const QByteArray exported = PDFCodec::exportPDF(document);
    EXPECT_TRUE(test::pdfToText(exported).contains(corrected)) << qPrintable(test::pdfToText(exported));
    const VectorDocument reopened = PDFCodec::importPDF(exported, QStringLiteral("again"), std::nullopt);
    const VectorElement* again = elementStartingWith(reopened.pages.front(), bullet + QStringLiteral(" The efficient"));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->text()->text, corrected);
    EXPECT_FALSE(again->text()->isItalic);
    EXPECT_FALSE(again->text()->postScriptFontName.value_or(QString()).contains(QLatin1String("CMSY")));
    // Its words are drawn with the glyphs the export wrote them in.
    const TextPayload& reopenedText = *again->text();
    const auto reopenedLayout = PDFCodec::layOutLine(QStringLiteral("efficient"),
                                                     PDFCodec::resolveFont(reopenedText, reopenedText.fontSize), 0);
    for (const QGlyphRun& run : reopenedLayout->glyphRuns())
        EXPECT_TRUE(run.rawFont().familyName().contains(QLatin1String("CMR10"))) << qPrintable(run.rawFont().familyName());
}

TEST_F(PDFProducerFilesTest, WordsPrintedInAnotherFontOnlyLendTheirStart)
{
    // "bold words" inside a roman line of the groff memo: drawn in the line's
    // roman font, each word from where the bold one started, not stretched
    // letter by letter over the bold letters' places.
    const VectorPage page = imported("groff-memo.pdf").pages.front();
    const VectorElement* line = elementStartingWith(page, QStringLiteral("the lazy dog; bold"));
    ASSERT_TRUE(line);
    const auto document = PDFDocument::open(*page.pdfPageData);
    ASSERT_TRUE(document);
    const std::optional<PDFCodec::PrintedLine> printed =
        PDFCodec::printedLineOf(document->pageText(0), page.height - document->mediaBox(0).height(), *line->text());
    ASSERT_TRUE(printed);
    const qsizetype bold = printed->text.indexOf(QStringLiteral("bold"));
    const qsizetype lazy = printed->text.indexOf(QStringLiteral("lazy"));
    ASSERT_GT(bold, 0);
    EXPECT_TRUE(std::isfinite(printed->x[bold]));
    EXPECT_FALSE(std::isfinite(printed->x[bold + 1]));
    EXPECT_TRUE(std::isfinite(printed->x[lazy + 1]));
    EXPECT_FALSE(std::isfinite(printed->x[lazy - 1]));  // the space
}

TEST_F(PDFProducerFilesTest, AccentsOverASubsetWithoutCapitalHAreSizedByItsCapitals)
{
    // Ghostscript's Times subset of the landscape page has no "H" (Qt then
    // reports a cap height of 0) and no "é": the accent is drawn over "e" at
    // the size of the program's capitals.
    const VectorPage page = imported("groff-landscape.pdf").pages.front();
    const VectorElement* line = elementStartingWith(page, QStringLiteral("long side"));
    ASSERT_TRUE(line);
    const QFont font = PDFCodec::resolveFont(*line->text(), line->text()->fontSize);
    const PDFCodec::AdaptedSubsetText adapted = PDFCodec::adaptStringForSubsetFont(QStringLiteral("été"), font, 0);
    ASSERT_EQ(adapted.adapted, QStringLiteral("ete"));
    ASSERT_EQ(adapted.accents.size(), 2);
    EXPECT_NEAR(adapted.accents.front().capHeight, 0.662 * line->text()->fontSize, 0.3);
}

TEST_F(PDFProducerFilesTest, LettersATeXSubsetLacksComeFromLatinModern)
{
    if (!fonts::installedFamily(QStringLiteral("Latin Modern Roman")))
        GTEST_SKIP() << "fonts-lmodern is not installed";
    const VectorPage page = imported("pdftex-paper.pdf").pages.front();
    for (const auto& [start, family] :
         {std::pair{QStringLiteral("Numbers"), QStringLiteral("Latin Modern Roman")},
          std::pair{QStringLiteral("int main"), QStringLiteral("Latin Modern Mono")}}) {
        const VectorElement* line = elementStartingWith(page, start);
        ASSERT_TRUE(line);
        const QFont font = PDFCodec::resolveFont(*line->text(), line->text()->fontSize);
        // "Z", "X" and the word space are not in the subset.
        const QString typed = QStringLiteral("ZX ");
        ASSERT_FALSE(fonts::hasCharacters(QRawFont::fromFont(font), QStringLiteral("ZX")));
        const auto layout = PDFCodec::layOutLine(typed, font, 0);
        for (const QGlyphRun& run : layout->glyphRuns()) {
            EXPECT_EQ(run.rawFont().familyName(), family) << qPrintable(start);
        }
    }
}

TEST(FontSubstitutionsTest, TeXProgramsFindTheirLatinModernRelative)
{
    EXPECT_EQ(fonts::substitutesForProgram(QStringLiteral("CMR10")), QStringList{QStringLiteral("Latin Modern Roman")});
    EXPECT_EQ(fonts::substitutesForProgram(QStringLiteral("ABCDEF+CMTT12")),
              QStringList{QStringLiteral("Latin Modern Mono")});
    EXPECT_EQ(fonts::substitutesForProgram(QStringLiteral("CMSSBX10")), QStringList{QStringLiteral("Latin Modern Sans")});
    EXPECT_EQ(fonts::substitutesForProgram(QStringLiteral("SFRM1000")), QStringList{QStringLiteral("Latin Modern Roman")});
    // Math and symbol programs, and names that only start alike, have none.
    EXPECT_TRUE(fonts::substitutesForProgram(QStringLiteral("CMMI10")).isEmpty());
    EXPECT_TRUE(fonts::substitutesForProgram(QStringLiteral("CMBSY10")).isEmpty());
    EXPECT_TRUE(fonts::substitutesForProgram(QStringLiteral("CMRoman")).isEmpty());
    EXPECT_TRUE(fonts::substitutesForProgram(QStringLiteral("Calibri")).isEmpty());
}

TEST_F(PDFProducerFilesTest, OnlyALineStillInItsPrintedFontFollowsThePrint)
{
    const VectorPage page = imported("cairo-memo.pdf").pages.front();
    const VectorElement* found = elementStartingWith(page, QStringLiteral("Afterwards"));
    ASSERT_TRUE(found);
    VectorElement line = *found;
    line.text()->text += QStringLiteral(" Done.");
    const auto printed = PDFCodec::printedLineFor(page, line);
    ASSERT_TRUE(printed);
    EXPECT_EQ(printed->text, found->text()->text);
    EXPECT_NEAR(printed->x.front(), 0, 0.5);  // the frame starts at the first glyph

    VectorElement larger = line;
    larger.text()->fontSize += 2;
    EXPECT_FALSE(PDFCodec::printedLineFor(page, larger));
    VectorElement bold = line;
    bold.text()->isBold = !bold.text()->isBold;
    EXPECT_FALSE(PDFCodec::printedLineFor(page, bold));
    VectorElement twoLines = line;
    twoLines.text()->text += QStringLiteral("\nMore");
    EXPECT_FALSE(PDFCodec::printedLineFor(page, twoLines));
    VectorElement elsewhere = line;
    elsewhere.text()->originalPDFRect->y += 40;  // no such line there
    EXPECT_FALSE(PDFCodec::printedLineFor(page, elsewhere));
}

TEST_F(PDFProducerFilesTest, ThreadsOpeningOneFileAtOnceFindTheSamePrintedLines)
{
    const VectorPage page = imported("cairo-memo.pdf").pages.front();
    std::vector<VectorElement> lines;
    for (const VectorElement& element : page.elements) {
        if (element.text() && element.text()->isPDFExtracted) {
            lines.push_back(element);
            lines.back().text()->text += QStringLiteral(" Done.");
        }
    }
    ASSERT_GE(lines.size(), 3u);
    std::vector<std::optional<PDFCodec::PrintedLine>> expected;
    for (const VectorElement& line : lines)
        expected.push_back(PDFCodec::printedLineFor(page, line));
    ASSERT_TRUE(expected.front());

    // The same file in bytes no thread has opened yet: one thread reads it,
    // the others wait for it and open it again from what was read.
    VectorPage fresh = page;
    fresh.pdfPageData = QByteArray(page.pdfPageData->constData(), page.pdfPageData->size());
    constexpr int kThreads = 6;
    std::vector<std::vector<std::optional<PDFCodec::PrintedLine>>> found(kThreads);
    std::atomic<int> waiting{kThreads};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            --waiting;
            while (waiting.load() > 0)
                std::this_thread::yield();
            for (const VectorElement& line : lines)
                found[size_t(t)].push_back(PDFCodec::printedLineFor(fresh, line));
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int t = 0; t < kThreads; ++t) {
        ASSERT_EQ(found[size_t(t)].size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(bool(found[size_t(t)][i]), bool(expected[i])) << "thread " << t << " line " << i;
            if (expected[i]) {
                EXPECT_EQ(found[size_t(t)][i]->text, expected[i]->text);
                EXPECT_EQ(found[size_t(t)][i]->x, expected[i]->x);
                EXPECT_EQ(found[size_t(t)][i]->inkStarts, expected[i]->inkStarts);
            }
        }
    }
}

namespace {

// Every PDF line of the page marked as changed with its own text, so that the
// mask hides the print and the line is drawn; and the share of strongly
// differing pixels inside the boxes the lines were printed in.
double editedLinesShare(const VectorPage& page, const std::function<bool(const VectorElement&)>& which)
{
    const QImage printed = drawnAt144(page);
    VectorPage edited = page;
    std::vector<QRectF> areas;
    for (VectorElement& element : edited.elements) {
        TextPayload* text = element.text();
        if (!text || !text->isPDFExtracted || !which(element))
            continue;
        text->originalPDFText = text->text + QStringLiteral("\u2060");
        areas.push_back(text->printedPDFBounds()->toQRectF());
    }
    EXPECT_FALSE(areas.empty());
    const QImage drawn = drawnAt144(edited);
    double strong = 0;
    double total = 0;
    for (const QRectF& area : areas) {
        const double pixels = area.width() * area.height();
        strong += strongShare(printed, drawn, area) * pixels;
        total += pixels;
    }
    return total > 0 ? strong / total : 1.0;
}

// The exported page's text, read back, holds `line` as one line of text
// whose glyphs advance at `angle`.
void expectExportedAsOneLine(const VectorPage& page, const QString& line, int angle)
{
    const auto exported =
        PDFDocument::open(PDFCodec::exportPDF(VectorDocument::make(QUuid::createUuid(), QStringLiteral("T"),
                                                                   DocumentSourceFormat::pdf, std::nullopt, {page}, 1)));
    ASSERT_TRUE(exported);
    PDFPageText text = exported->pageText(0);
    if (const int turn = exported->rotation(0); turn != 0) {
        const QRectF box = exported->mediaBox(0);
        PDFCodec::turnPageText(text, box.size(), turn);
    }
    const qsizetype at = text.text.indexOf(line);
    ASSERT_GE(at, 0) << qPrintable(line) << " in " << qPrintable(text.text);
    EXPECT_EQ(PDFCodec::advanceAngle(text, {at, line.size()}), angle) << qPrintable(line);
}

}  // namespace

TEST_F(PDFProducerFilesTest, ATurnedPageImportsTheWholeLinesOfItsUprightTwin)
{
    const VectorPage upright = imported("pdftex-paper.pdf").pages.front();
    const VectorPage turned = imported("pdftex-turned.pdf").pages.front();
    EXPECT_EQ(turned.pdfRotation, 90);
    ASSERT_EQ(turned.elements.size(), upright.elements.size());
    ASSERT_GT(upright.elements.size(), 5);
    for (qsizetype i = 0; i < upright.elements.size(); ++i) {
        const VectorElement& a = upright.elements[i];
        const VectorElement& b = turned.elements[i];
        const TextPayload& ta = *a.text();
        const TextPayload& tb = *b.text();
        EXPECT_EQ(tb.text, ta.text);
        EXPECT_EQ(b.rotationDegrees, 90) << qPrintable(tb.text);
        EXPECT_EQ(tb.fontFamily, ta.fontFamily) << qPrintable(tb.text);
        EXPECT_EQ(tb.postScriptFontName, ta.postScriptFontName) << qPrintable(tb.text);
        EXPECT_NEAR(tb.fontSize, ta.fontSize, 0.3) << qPrintable(tb.text);
        EXPECT_NEAR(b.frame.width, a.frame.width, 1.5) << qPrintable(tb.text);
        EXPECT_NEAR(b.frame.height, a.frame.height, 1.5) << qPrintable(tb.text);
        // Printed where the turned page shows the upright line.
        const QRectF expected = QTransform(0, 1, -1, 0, turned.width, 0).mapRect(ta.printedPDFBounds()->toQRectF());
        const QRectF found = tb.printedPDFBounds()->toQRectF();
        EXPECT_NEAR(found.left(), expected.left(), 1.5) << qPrintable(tb.text);
        EXPECT_NEAR(found.top(), expected.top(), 1.5) << qPrintable(tb.text);
        EXPECT_FALSE(b.hasModifiedPDFText()) << qPrintable(tb.text);
    }

    // Edited, the turned lines draw along the print as well as upright ones.
    const auto every = [](const VectorElement&) { return true; };
    const double uprightShare = editedLinesShare(upright, every);
    const double turnedShare = editedLinesShare(turned, every);
    EXPECT_LT(turnedShare, uprightShare + 0.03) << uprightShare;

    // An edited line, moved clear of the print, exports as one line running
    // down the page.
    VectorPage edited = turned;
    for (VectorElement& element : edited.elements) {
        if (element.text()->text.startsWith(QStringLiteral("Numbers"))) {
            element.text()->text.replace(QStringLiteral("plain"), QStringLiteral("simple"));
            PDFCodec::updateTextFrameForEditedContent(element);
            element.frame.x = 40 - element.frame.width / 2;
        }
    }
    expectExportedAsOneLine(edited, QStringLiteral("final line of simple roman"), 90);
}

TEST_F(PDFProducerFilesTest, LabelsDrawnDownAndUpAnUprightPageImportAsTurnedLines)
{
    const VectorPage page = imported("ghostscript-sideways.pdf").pages.front();
    EXPECT_EQ(page.pdfRotation, 0);
    for (const VectorElement& element : page.elements)
        EXPECT_GT(element.text()->text.size(), 20) << qPrintable(element.text()->text);  // never a glyph alone
    const VectorElement* heading = elementStartingWith(page, QStringLiteral("Sideways labels"));
    const VectorElement* down = elementStartingWith(page, QStringLiteral("Reading down"));
    const VectorElement* up = elementStartingWith(page, QStringLiteral("Reading up"));
    ASSERT_TRUE(heading && down && up);
    EXPECT_EQ(heading->rotationDegrees, 0);
    EXPECT_EQ(down->text()->text, QStringLiteral("Reading down the page at ninety"));
    EXPECT_EQ(down->rotationDegrees, 90);
    EXPECT_EQ(up->text()->text, QStringLiteral("Reading up the page at two seventy"));
    EXPECT_EQ(up->rotationDegrees, 270);
    for (const VectorElement* label : {down, up}) {
        EXPECT_NEAR(label->text()->fontSize, 12, 0.6);
        EXPECT_EQ(label->text()->fontFamily, heading->text()->fontFamily);
        EXPECT_GT(label->frame.width, 150);
        EXPECT_LT(label->frame.height, 16);
        const QRectF printed = label->text()->printedPDFBounds()->toQRectF();
        EXPECT_GT(printed.height(), printed.width() * 8);
    }
    // Where Ghostscript drew them: from (200, 842 - 250) down, and from
    // (400, 842 - 600) up, the glyphs' feet on the origin's side.
    const VectorRect downPrint = *down->text()->printedPDFBounds();
    const VectorRect upPrint = *up->text()->printedPDFBounds();
    EXPECT_NEAR(downPrint.y, 592, 2);
    EXPECT_LT(downPrint.x, 200);
    EXPECT_NEAR(downPrint.x + downPrint.width, 209, 2);  // the glyphs' tops to the right
    EXPECT_NEAR(upPrint.y + upPrint.height, 242, 2);
    EXPECT_GT(upPrint.x + upPrint.width, 400);
    EXPECT_NEAR(upPrint.x, 391, 2);  // their tops to the left

    const auto turnedLabels = [](const VectorElement& e) { return e.rotationDegrees != 0; };
    const auto uprightLines = [](const VectorElement& e) { return e.rotationDegrees == 0; };
    EXPECT_LT(editedLinesShare(page, turnedLabels), editedLinesShare(page, uprightLines) + 0.03);

    VectorPage edited = page;
    for (VectorElement& element : edited.elements) {
        if (element.rotationDegrees != 0) {
            // Edited and moved clear of the print.
            element.text()->text += QStringLiteral(" edited");
            PDFCodec::updateTextFrameForEditedContent(element);
            element.frame.x += element.rotationDegrees == 90 ? -100 : 100;
        }
    }
    expectExportedAsOneLine(edited, QStringLiteral("Reading down the page at ninety edited"), 90);
    expectExportedAsOneLine(edited, QStringLiteral("Reading up the page at two seventy edited"), 270);
}
