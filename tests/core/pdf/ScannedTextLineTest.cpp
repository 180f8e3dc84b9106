// Scans with a text layer (pages of the producer fixtures rendered and run
// through tesseract, kept under tests/data/pdf): their invisible lines are
// edited in an installed face resembling the print.

#include "core/fonts/TestFonts.h"
#include "core/support/TestPDF.h"
#include "fonts/FontLookup.h"
#include "fonts/ScanFaceMatching.h"
#include "fonts/TextFonts.h"
#include "export/PDFExport.h"
#include "export/SVGExport.h"
#include "pdf/InvisibleTextFonts.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFImport.h"
#include "pdf/PDFPageBitmapAnalyzer.h"
#include "pdf/ScannedTextLine.h"
#include "render/PageRenderer.h"

#include <QElapsedTimer>
#include <QFontInfo>
#include <QPainter>
#include <QPainterPath>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

std::set<std::string> invisibleFontsOf(const std::string& content)
{
    QPDF pdf;
    pdf.emptyPDF();
    QPDFObjectHandle fonts = QPDFObjectHandle::parse("<< /F1 << /BaseFont /ABCDEF+Layer >> /F2 << /BaseFont /Print >> >>");
    return invisiblyPrintedFonts(content, fonts);
}

}  // namespace

TEST(InvisibleTextFontsTest, FontsShowingTextOnlyInvisiblyAreListed)
{
    const std::set<std::string> layer{"ABCDEF+Layer"};
    EXPECT_EQ(invisibleFontsOf("BT /F1 10 Tf 3 Tr (scan) Tj ET BT /F2 10 Tf 0 Tr (print) Tj ET"), layer);
    EXPECT_EQ(invisibleFontsOf("BT 3 Tr /F1 10 Tf [(a) 20 (b)] TJ ET"), layer);
    // A font also printing visible text is not a text layer's.
    EXPECT_TRUE(invisibleFontsOf("BT /F1 10 Tf 3 Tr (a) Tj 0 Tr (b) Tj ET").empty());
    // The render mode is restored with the graphics state.
    EXPECT_TRUE(invisibleFontsOf("q BT 3 Tr ET Q BT /F1 10 Tf (a) Tj ET").empty());
    EXPECT_EQ(invisibleFontsOf("BT 3 Tr ET q BT /F1 10 Tf (a) Tj ET Q"), layer);
    // Clipping text shows when something is painted through it.
    EXPECT_EQ(invisibleFontsOf("q BT /F1 10 Tf 7 Tr (a) Tj ET Q"), layer);
    EXPECT_TRUE(invisibleFontsOf("q BT /F1 10 Tf 7 Tr (a) Tj ET 0 0 100 100 re f Q").empty());
    // Modes that print, and content that never sets an invisible mode.
    EXPECT_TRUE(invisibleFontsOf("BT /F1 10 Tf 1 Tr (a) Tj 13 Tr (b) Tj ET").empty());
    EXPECT_TRUE(invisibleFontsOf("BT /F1 10 Tf (a 3 Tr) Tj ET").empty());
    // Broken content keeps what was read before the fault.
    EXPECT_EQ(invisibleFontsOf("BT /F1 10 Tf 3 Tr (a) Tj ET BT ] ) >> (((("), layer);
}

TEST(InvisibleTextFontsTest, OnlyALineWhoseEveryRunIsInvisibleIsAScanLine)
{
    PDFPageText page;
    page.text = QStringLiteral("Scan layer Printed");
    page.characterRects = QList<QRectF>(page.text.size(), QRectF(0, 0, 5, 10));
    PDFTextRun layer;
    layer.start = 0;
    layer.end = 10;
    layer.fontName = QStringLiteral("GlyphLessFont");
    layer.invisible = true;
    PDFTextRun print;
    print.start = 11;
    print.end = page.text.size();
    print.fontName = QStringLiteral("Helvetica");
    page.runs = {layer, print};

    EXPECT_TRUE(PDFCodec::printedInvisibly(page, 0, 10));
    // Visible and invisible runs on one line: printed, not a scan line,
    // whichever comes first.
    EXPECT_FALSE(PDFCodec::printedInvisibly(page, 0, page.text.size()));
    std::swap(page.runs[0].invisible, page.runs[1].invisible);
    EXPECT_FALSE(PDFCodec::printedInvisibly(page, 0, page.text.size()));
    EXPECT_TRUE(PDFCodec::printedInvisibly(page, 11, 7));
    // Characters without any run say nothing either way; none at all is no
    // scan line.
    page.runs = {layer};
    EXPECT_TRUE(PDFCodec::printedInvisibly(page, 0, page.text.size()));
    page.runs.clear();
    EXPECT_FALSE(PDFCodec::printedInvisibly(page, 0, page.text.size()));
}

namespace {

class ScannedTextLineTest : public test::FontTestBase {
protected:
    void SetUp() override
    {
        test::FontTestBase::SetUp();
        if (IsSkipped())
            return;
        if (fonts::scanFaceFamilies().size() < 2)
            GTEST_SKIP() << "fonts-liberation2 serif and sans are not both installed";
    }

    static QByteArray fixture(const char* name)
    {
        return test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/") + QLatin1String(name));
    }

    static VectorPage imported(const char* name)
    {
        return PDFCodec::importPDF(fixture(name), QString::fromLatin1(name), std::nullopt).pages.front();
    }

    static VectorElement* lineStartingWith(VectorPage& page, const QString& start)
    {
        for (VectorElement& element : page.elements) {
            if (element.text() && element.text()->text.startsWith(start))
                return &element;
        }
        return nullptr;
    }

    // What tesseract reads on the part `area` (points) of a page picture at
    // `scale` pixels per point, as one line.
    static QString readBack(const QImage& picture, const QRectF& area, double scale, const QString& language)
    {
        const QString tesseract = QStandardPaths::findExecutable(QStringLiteral("tesseract"));
        if (tesseract.isEmpty())
            return QStringLiteral("(tesseract is not installed)");
        QTemporaryDir dir;
        const QRectF padded = area.adjusted(-6, -6, 6, 6);
        const QRect pixels(QPoint(int(padded.left() * scale), int(padded.top() * scale)),
                           QPoint(int(padded.right() * scale), int(padded.bottom() * scale)));
        const QString file = dir.filePath(QStringLiteral("line.png"));
        if (!picture.copy(pixels).save(file))
            return QString();
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("OMP_THREAD_LIMIT"), QStringLiteral("1"));
        process.setProcessEnvironment(environment);
        process.start(tesseract, {file, QStringLiteral("stdout"), QStringLiteral("-l"), language,
                                  QStringLiteral("--psm"), QStringLiteral("7")});
        if (!process.waitForFinished(300000))
            return QStringLiteral("(tesseract did not finish)");
        return QString::fromUtf8(process.readAllStandardOutput()).simplified();
    }
};

}  // namespace

TEST_F(ScannedTextLineTest, EveryLineOfAScanImportsWithAVisibleInstalledFace)
{
    const QStringList families = fonts::scanFaceFamilies();
    for (const char* name : {"scan-groff-memo.pdf", "scan-ghostscript-notice.pdf"}) {
        const VectorPage page = imported(name);
        ASSERT_GE(page.elements.size(), 5) << name;
        for (const VectorElement& element : page.elements) {
            const TextPayload* text = element.text();
            ASSERT_TRUE(text);
            EXPECT_TRUE(families.contains(text->fontFamily)) << name << ": " << qPrintable(text->text) << " in "
                                                              << qPrintable(text->fontFamily);
            const QFont font = PDFCodec::resolveFont(*text, text->fontSize);
            EXPECT_EQ(fonts::withoutFoundry(QFontInfo(font).family()), text->fontFamily) << qPrintable(text->text);
            // The face draws the line.
            QPainterPath path;
            path.addText(QPointF(0, 0), fonts::layoutFont(font, 0), text->text);
            EXPECT_GT(path.boundingRect().width(), 0.5 * element.frame.width) << qPrintable(text->text);
            // The element keeps the layer's text and place.
            EXPECT_EQ(text->originalPDFText, text->text);
            EXPECT_TRUE(text->isPDFExtracted);
        }
    }
}

TEST_F(ScannedTextLineTest, TheFaceFollowsThePrintsDesign)
{
    const QStringList families = fonts::scanFaceFamilies();
    const QString& serif = families.front();
    const QString& sans = families.back();
    const auto share = [](const VectorPage& page, const QString& family) {
        int matching = 0;
        for (const VectorElement& element : page.elements)
            matching += element.text()->fontFamily == family ? 1 : 0;
        return double(matching) / double(std::max<qsizetype>(page.elements.size(), 1));
    };
    // groff sets the memo in Times, its second heading in italic; the
    // notice is in Helvetica.
    VectorPage memo = imported("scan-groff-memo.pdf");
    EXPECT_GE(share(memo, serif), 0.75);
    for (const VectorElement& element : memo.elements) {
        const bool italic = element.text()->text == QStringLiteral("Field Office");
        EXPECT_EQ(element.text()->isItalic, italic) << qPrintable(element.text()->text);
    }
    VectorPage notice = imported("scan-ghostscript-notice.pdf");
    EXPECT_GE(share(notice, sans), 0.75);
    const VectorElement* heading = lineStartingWith(notice, QStringLiteral("Fiche"));
    ASSERT_TRUE(heading);
    EXPECT_TRUE(heading->text()->isBold);
    const VectorElement* body = lineStartingWith(notice, QStringLiteral("Serrez"));
    ASSERT_TRUE(body);
    EXPECT_FALSE(body->text()->isBold);
}

TEST_F(ScannedTextLineTest, AnEditedLineExportsReadableAtThePrintsSize)
{
    struct Case {
        const char* file;
        const char* language;
        QString start;
        QString from;
        QString to;
    };
    const Case cases[] = {
        {"scan-ghostscript-notice.pdf", "fra", QStringLiteral("Vérifiez"), QStringLiteral("mur"),
         QStringLiteral("sol")},
        {"scan-ghostscript-notice.pdf", "fra", QStringLiteral("Fiche"), QStringLiteral("technique"),
         QStringLiteral("pratiques")},
        {"scan-groff-memo.pdf", "eng", QStringLiteral("Quarterly"), QStringLiteral("memo"), QStringLiteral("note")},
    };
    constexpr double kScale = 3.0;
    for (const Case& c : cases) {
        VectorPage page = imported(c.file);
        VectorElement* element = lineStartingWith(page, c.start);
        ASSERT_TRUE(element) << qPrintable(c.start);
        const QRectF printedArea = element->text()->originalPDFRect->toQRectF();
        const QString edited = element->text()->text.replace(c.from, c.to);
        element->text()->text = edited;
        PDFCodec::updateTextFrameForEditedContent(*element);
        // The refit frame spans about the printed line.
        EXPECT_NEAR(element->frame.width, printedArea.width(), 0.15 * printedArea.width()) << qPrintable(edited);

        const std::optional<QByteArray> png = PDFCodec::renderPagePNG(page, kScale);
        ASSERT_TRUE(png);
        const QImage picture = QImage::fromData(*png).convertToFormat(QImage::Format_RGB32);
        ASSERT_FALSE(picture.isNull());
        const QString read = readBack(picture, printedArea.united(element->frame.toQRectF()), kScale,
                                      QString::fromLatin1(c.language));
        for (const QString& word : edited.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            EXPECT_TRUE(read.contains(word)) << qPrintable(word) << " not in \"" << qPrintable(read) << "\"";

        // Cap height and width of the drawn line against the printed one.
        const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(fixture(c.file));
        ASSERT_TRUE(pdf);
        const PDFPageBitmapAnalyzer scan(pdf->renderPage(0, PDFPageBitmapAnalyzer::kScale));
        const QImage exported = QImage::fromData(*PDFCodec::renderPagePNG(page, PDFPageBitmapAnalyzer::kScale));
        const PDFPageBitmapAnalyzer drawn(exported);
        const QRectF window = printedArea.adjusted(0, -2, 0, 2);
        const RegionMetrics before = scan.analyzeTextRegion(window, element->text()->originalPDFText.value(),
                                                            element->text()->fontSize);
        const RegionMetrics after = drawn.analyzeTextRegion(window.united(element->frame.toQRectF()), edited,
                                                            element->text()->fontSize);
        EXPECT_NEAR(after.capHeight, before.capHeight, 0.1 * before.capHeight) << qPrintable(edited);
        EXPECT_NEAR(after.inkWidth, before.inkWidth, 0.1 * before.inkWidth) << qPrintable(edited);
    }
}

TEST_F(ScannedTextLineTest, AnEditedLineKeepsItsFaceInThePDFAndSVGExports)
{
    VectorDocument document = PDFCodec::importPDF(fixture("scan-ghostscript-notice.pdf"), QStringLiteral("notice"),
                                                  std::nullopt);
    VectorPage& page = document.pages.front();
    VectorElement* element = lineStartingWith(page, QStringLiteral("Serrez"));
    ASSERT_TRUE(element);
    const QString face = element->text()->fontFamily;
    element->text()->text.replace(QStringLiteral("Serrez"), QStringLiteral("Vissez"));
    PDFCodec::updateTextFrameForEditedContent(*element);
    const QString edited = element->text()->text;

    // The PDF written, drawn again by poppler: the new words over the mask.
    const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(PDFCodec::exportPDF(document));
    ASSERT_TRUE(pdf);
    QImage picture(pdf->renderPage(0, 3.0).size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    {
        QPainter painter(&picture);
        painter.drawImage(0, 0, pdf->renderPage(0, 3.0));
    }
    const QString read = readBack(picture, element->frame.toQRectF(), 3.0, QStringLiteral("fra"));
    for (const QString& word : edited.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        EXPECT_TRUE(read.contains(word)) << qPrintable(word) << " not in \"" << qPrintable(read) << "\"";

    // The SVG names the chosen installed face, not the layer's font.
    const QString svg = SVGCodec::exportSVG(document);
    EXPECT_TRUE(svg.contains(face)) << qPrintable(face);
    EXPECT_FALSE(svg.contains(QStringLiteral("GlyphLess")));
}

namespace {

// Where the words of a line's print start, in points from the page's left:
// on `picture` (grey at `scale` pixels per point) within `band` (points),
// the columns darker than halfway between its paper and its darkest ink,
// cut into words at gaps of paper wider than `gap` points.
QList<double> wordStarts(const QImage& picture, const QRectF& band, double scale, double gap)
{
    const QImage grey = picture.convertToFormat(QImage::Format_Grayscale8);
    const QRect area = QRect(QPoint(int(band.left() * scale), int(band.top() * scale)),
                             QPoint(int(band.right() * scale), int(band.bottom() * scale)))
                           .intersected(grey.rect());
    int darkest = 255, lightest = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            darkest = std::min<int>(darkest, grey.constScanLine(y)[x]);
            lightest = std::max<int>(lightest, grey.constScanLine(y)[x]);
        }
    }
    const int half = (darkest + lightest) / 2;
    QList<double> starts;
    int lastInk = -1'000'000;
    for (int x = area.left(); x <= area.right(); ++x) {
        bool inked = false;
        for (int y = area.top(); y <= area.bottom() && !inked; ++y)
            inked = grey.constScanLine(y)[x] < half;
        if (!inked)
            continue;
        if (x - lastInk > gap * scale)
            starts.append(x / scale);
        lastInk = x;
    }
    return starts;
}

}  // namespace

TEST_F(ScannedTextLineTest, TheWordsLeftAsTheyWereStartWhereTheirPrintedInkStarts)
{
    struct Case {
        const char* file;
        QString start;
        QString from;
        QString to;
    };
    const Case cases[] = {
        {"scan-ghostscript-notice.pdf", QStringLiteral("Serrez"), QStringLiteral("carton."), QStringLiteral("sac.")},
        {"scan-groff-memo.pdf", QStringLiteral("Afterwards"), QStringLiteral("soufflés."), QStringLiteral("tea.")},
        {"scan-groff-memo.pdf", QStringLiteral("Quarterly"), QStringLiteral("memo"), QStringLiteral("note")},
    };
    constexpr double kScale = 6.0;
    for (const Case& c : cases) {
        VectorPage page = imported(c.file);
        VectorElement* element = lineStartingWith(page, c.start);
        ASSERT_TRUE(element) << qPrintable(c.start);
        const QRectF band = element->text()->originalPDFRect->toQRectF();
        const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(fixture(c.file));
        ASSERT_TRUE(pdf);
        const QList<double> printed = wordStarts(pdf->renderPage(0, kScale), band, kScale, 2.0);

        element->text()->text.replace(c.from, c.to);
        PDFCodec::updateTextFrameForEditedContent(*element);
        const std::optional<QByteArray> png = PDFCodec::renderPagePNG(page, kScale);
        ASSERT_TRUE(png);
        const QList<double> drawn = wordStarts(QImage::fromData(*png), band, kScale, 2.0);

        // Every word but the changed last one starts where the print's ink
        // does, within about a pixel of the 200 dpi scan.
        const qsizetype kept = element->text()->text.count(QLatin1Char(' '));
        ASSERT_GE(printed.size(), kept) << qPrintable(c.start);
        ASSERT_GE(drawn.size(), kept) << qPrintable(c.start);
        for (qsizetype w = 0; w < kept; ++w)
            EXPECT_NEAR(drawn[w], printed[w], 0.4) << qPrintable(c.start) << " word " << w;
    }
}

TEST_F(ScannedTextLineTest, AScanWithEveryLineEditedLooksLikeItsPrint)
{
    // The share of pixels inside the printed lines that differ by more than
    // half the grey range between the scan and the page with every line
    // edited to its own text, at 144 dpi. Sharp glyphs over a blurred scan
    // differ at stroke edges; faces, sizes, baselines or word places taken
    // wrongly from the picture differ far more.
    struct Case {
        const char* file;
        double most;
    };
    constexpr double kScale = 2.0;
    for (const Case& c : {Case{"scan-groff-memo.pdf", 6.5}, Case{"scan-ghostscript-notice.pdf", 2.5}}) {
        VectorPage page = imported(c.file);
        const std::unique_ptr<PDFDocument> pdf = PDFDocument::open(fixture(c.file));
        ASSERT_TRUE(pdf);
        const QSize size(qRound(page.width * kScale), qRound(page.height * kScale));
        QImage printed(size, QImage::Format_RGB32);
        printed.fill(Qt::white);
        {
            QPainter painter(&printed);
            painter.drawImage(0, 0, pdf->renderPage(0, kScale));
        }
        QList<QRect> lines;
        for (VectorElement& element : page.elements) {
            TextPayload* text = element.text();
            ASSERT_TRUE(text);
            const QRectF r = text->printedPDFBounds()->toQRectF();
            lines.append(QRect(QPoint(int(r.left() * kScale), int(r.top() * kScale)),
                               QPoint(int(r.right() * kScale), int(r.bottom() * kScale)))
                             .intersected(printed.rect()));
            // Same text, but counted as changed: the mask hides the print and
            // the line is drawn.
            text->originalPDFText = text->text + QStringLiteral("\u2060");
        }
        QImage edited(size, QImage::Format_RGB32);
        edited.fill(Qt::white);
        {
            QPainter painter(&edited);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.scale(kScale, kScale);
            PDFCodec::renderPage(page, painter);
        }
        std::vector<bool> inside(size_t(size.width()) * size_t(size.height()), false);
        for (const QRect& line : lines) {
            for (int y = line.top(); y <= line.bottom(); ++y) {
                for (int x = line.left(); x <= line.right(); ++x)
                    inside[size_t(y) * size_t(size.width()) + size_t(x)] = true;
            }
        }
        qint64 strong = 0, total = 0;
        for (int y = 0; y < size.height(); ++y) {
            for (int x = 0; x < size.width(); ++x) {
                if (!inside[size_t(y) * size_t(size.width()) + size_t(x)])
                    continue;
                ++total;
                strong += std::abs(qGray(printed.pixel(x, y)) - qGray(edited.pixel(x, y))) >= 128 ? 1 : 0;
            }
        }
        ASSERT_GT(total, 0);
        EXPECT_LT(100.0 * double(strong) / double(total), c.most) << c.file;
    }
}

TEST_F(ScannedTextLineTest, OnlyAScansTextLayerPaysForFaceMatching)
{
    // A page of 500 ordinary printed lines.
    test::TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 400, 500 * 8 + 20);
    for (int i = 0; i < 500; ++i)
        page.texts.push_back({QPointF(20, 10 + 8 * i), 6, "Ordinary printed line number " + QByteArray::number(i)});
    const qint64 before = fonts::scanFaceMatchings();
    const VectorDocument document = PDFCodec::importPDF(test::makeTestPDF({page}), QStringLiteral("Lines"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    EXPECT_EQ(document.pages.front().elements.size(), 500);
    EXPECT_EQ(fonts::scanFaceMatchings(), before);

    // A scan's text layer does.
    const VectorPage scan = imported("scan-groff-memo.pdf");
    EXPECT_GT(fonts::scanFaceMatchings(), before);
    EXPECT_LE(fonts::scanFaceMatchings() - before, scan.elements.size());
}

TEST_F(ScannedTextLineTest, AScanOfManyLinesOpensInAboutPopplersDrawingTime)
{
    // The memo's scan four times over: its lines of one font and size are
    // matched against the page picture once, not line after line.
    QPDF pdf;
    const QByteArray memo = fixture("scan-groff-memo.pdf");
    pdf.processMemoryFile("memo", memo.constData(), size_t(memo.size()));
    QPDFPageDocumentHelper pages(pdf);
    const QPDFPageObjectHelper first = pages.getAllPages().front();
    for (int copy = 0; copy < 3; ++copy)
        pages.addPage(QPDFPageObjectHelper(first).shallowCopyPage(), false);
    QPDFWriter writer(pdf);
    writer.setOutputMemory();
    writer.write();
    const std::shared_ptr<Buffer> buffer = writer.getBufferSharedPointer();
    const QByteArray scan(reinterpret_cast<const char*>(buffer->getBuffer()), qsizetype(buffer->getSize()));

    // Poppler drawing every page at the import's resolution, timed against
    // the import.
    // The faces compared with the print for the memo's page alone, and its
    // lines of a word or two (a heading, the table's cells).
    const qint64 alone = fonts::scanFaceComparisons();
    const VectorPage memoPage = PDFCodec::importPDF(memo, QStringLiteral("Memo"), std::nullopt, 1).pages.front();
    const qint64 onePage = fonts::scanFaceComparisons() - alone;
    ASSERT_GT(onePage, 0);
    qint64 shortLines = 0;
    for (const VectorElement& element : memoPage.elements)
        shortLines += element.text()->text.split(QLatin1Char(' '), Qt::SkipEmptyParts).size() < 3 ? 1 : 0;

    QElapsedTimer timer;
    timer.start();
    {
        const std::unique_ptr<PDFDocument> opened = PDFDocument::open(scan);
        ASSERT_TRUE(opened);
        ASSERT_EQ(opened->pageCount(), 4);
        for (int page = 0; page < opened->pageCount(); ++page)
            ASSERT_FALSE(opened->renderPage(page, PDFPageBitmapAnalyzer::kScale).isNull());
    }
    const qint64 drawing = timer.nsecsElapsed();
    const qint64 compared = fonts::scanFaceComparisons();
    timer.restart();
    const VectorDocument document = PDFCodec::importPDF(scan, QStringLiteral("Scans"), std::nullopt, 1);
    const qint64 importing = timer.nsecsElapsed();
    ASSERT_EQ(document.pages.size(), 4);
    for (const VectorPage& page : document.pages)
        EXPECT_EQ(page.elements.size(), document.pages.front().elements.size());
    // The copies' lines take the faces the first lines of their font and
    // size chose: only a line of a word or two compares the three faces of
    // its family again, and the title and the closing line (one of their
    // size a page) until three of them have chosen.
    EXPECT_LE(fonts::scanFaceComparisons() - compared - onePage, 3 * 3 * shortLines + 3 * 2 * 2)
        << onePage << " faces compared for the page alone, " << shortLines << " short lines";
    EXPECT_LT(importing, 2 * drawing) << importing << " ns against " << drawing << " ns";
}

TEST_F(ScannedTextLineTest, PagesWhoseLastLinesStrayALittleLowerEachTimeAreEachDrawnOnce)
{
    // Pages of a scan: a picture, and an invisible text layer whose last
    // line lies a little lower on each page than on the one before.
    const QByteArray picture(200 * 250 * 3, char(0xF0));
    QList<QByteArray> objects{"<< /Type /Catalog /Pages 2 0 R >>", {},
                              "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
                              "<< /Type /XObject /Subtype /Image /Width 200 /Height 250 /ColorSpace /DeviceRGB "
                              "/BitsPerComponent 8 /Length "
                                  + QByteArray::number(picture.size()) + " >>\nstream\n" + picture + "\nendstream"};
    QByteArray kids;
    for (int i = 0; i < 6; ++i) {
        const QByteArray content = "q 400 0 0 500 0 0 cm /Im Do Q BT 3 Tr /F 12 Tf 40 470 Td (The heading of every "
                                   "page) Tj ET BT 3 Tr /F 12 Tf 40 "
                                   + QByteArray::number(60 - 6 * i) + " Td (A last line a little lower) Tj ET";
        kids += QByteArray::number(objects.size() + 1) + " 0 R ";
        objects.append("<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 500] /Resources << /Font << /F 3 0 R >> "
                       "/XObject << /Im 4 0 R >> >> /Contents "
                       + QByteArray::number(objects.size() + 2) + " 0 R >>");
        objects.append("<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream");
    }
    objects[1] = "<< /Type /Pages /Kids [" + kids + "] /Count 6 >>";
    const QByteArray data = test::makeRawTestPDF(objects);

    // Drawn before their text is known and again once it reaches beyond the
    // drawing, they would each cost their picture twice.
    const qint64 before = PDFDocument::pageDrawings();
    const VectorDocument imported = PDFCodec::importPDF(data, QStringLiteral("Scan"), std::nullopt, 1);
    EXPECT_EQ(PDFDocument::pageDrawings() - before, 6);
    ASSERT_EQ(imported.pages.size(), 6);
    for (const VectorPage& page : imported.pages)
        EXPECT_EQ(page.elements.size(), 2);
}
