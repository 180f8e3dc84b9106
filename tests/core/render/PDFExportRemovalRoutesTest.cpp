// Every road by which a recipient could read a deleted or replaced line out
// of an exported PDF, tried with the tools a recipient has: the file
// decompressed by qpdf and searched, pdftotext, pdfimages. And the other
// side: an untouched line keeps every glyph where pdftotext -bbox finds it.

#include "core/fonts/TestFonts.h"
#include "core/support/PDFText.h"
#include "core/support/TestPDF.h"
#include "export/PDFExport.h"
#include "operations/VectorOperations.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFImport.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

// Runs a tool of poppler or qpdf on `pdf` written to a file; its standard
// output, or the file it writes into `output` when given.
QByteArray runTool(const QString& program, QStringList arguments, const QByteArray& pdf,
                   const QString& output = {})
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("in.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(pdf);
    file.close();
    for (QString& argument : arguments) {
        argument.replace(QStringLiteral("@in"), path);
        argument.replace(QStringLiteral("@dir"), dir.path());
    }
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000))
        return {};
    if (output.isEmpty())
        return process.readAllStandardOutput();
    QFile written(dir.filePath(output));
    return written.open(QIODevice::ReadOnly) ? written.readAll() : QByteArray();
}

// The whole file decompressed, as `qpdf --qdf --object-streams=disable` writes it.
QByteArray decompressed(const QByteArray& pdf)
{
    const QByteArray qdf = runTool(QStringLiteral("qpdf"),
                                   {QStringLiteral("--qdf"), QStringLiteral("--object-streams=disable"),
                                    QStringLiteral("@in"), QStringLiteral("@dir/out.pdf")},
                                   pdf, QStringLiteral("out.pdf"));
    EXPECT_FALSE(qdf.isEmpty());
    return qdf;
}

using test::pdfToText;

struct PlacedWord {
    QString text;
    QRectF box;
};

// The words of page 1 with their boxes, as `pdftotext -bbox` gives them.
QList<PlacedWord> placedWords(const QByteArray& pdf)
{
    const QString html = QString::fromUtf8(runTool(
        QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                                      QStringLiteral("-l"), QStringLiteral("1"), QStringLiteral("@in"),
                                      QStringLiteral("-")},
        pdf));
    static const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([-\\d.]+)\" yMin=\"([-\\d.]+)\" xMax=\"([-\\d.]+)\" yMax=\"([-\\d.]+)\">([^<]*)</word>"));
    QList<PlacedWord> words;
    for (auto match = word.globalMatch(html); match.hasNext();) {
        const auto m = match.next();
        const double left = m.captured(1).toDouble(), top = m.captured(2).toDouble();
        words.append({m.captured(5), QRectF(left, top, m.captured(3).toDouble() - left, m.captured(4).toDouble() - top)});
    }
    return words;
}

// Each of `words` is read in `after` where it was in `before`: same left
// and right edges (and top, unless only its run along the line matters).
void expectWordsInPlace(const QList<PlacedWord>& before, const QList<PlacedWord>& after, const QStringList& words,
                        bool sameTop = true)
{
    for (const QString& word : words) {
        const auto was = std::find_if(before.begin(), before.end(), [&](const PlacedWord& w) { return w.text == word; });
        ASSERT_NE(was, before.end()) << word.toStdString();
        const auto is = std::find_if(after.begin(), after.end(), [&](const PlacedWord& w) { return w.text == word; });
        ASSERT_NE(is, after.end()) << word.toStdString();
        EXPECT_NEAR(is->box.left(), was->box.left(), 0.05) << word.toStdString();
        if (sameTop) {
            EXPECT_NEAR(is->box.top(), was->box.top(), 0.05) << word.toStdString();
        }
        EXPECT_NEAR(is->box.right(), was->box.right(), 0.05) << word.toStdString();
    }
}

QByteArray streamObject(const QByteArray& content, const QByteArray& extra = {})
{
    return "<< /Length " + QByteArray::number(content.size()) + extra + " >>\nstream\n" + content + "\nendstream";
}

// A simple font of 600-unit glyphs with the descriptor entries given.
QByteArray monoFont(const QByteArray& descriptor = {})
{
    return "<< /Type /Font /Subtype /Type1 /BaseFont /Courier /FirstChar 32 /LastChar 255 /Widths [" +
           QByteArray("600 ").repeated(224) + "] /Encoding /WinAnsiEncoding" +
           (descriptor.isEmpty() ? QByteArray() : " /FontDescriptor " + descriptor) + " >>";
}

// One page of 300 x 200 points drawing `content` with /F1 (and the other
// resources given), then the objects given from number 6 on.
QByteArray pageWith(const QByteArray& content, const QByteArray& resources = {}, const QList<QByteArray>& more = {})
{
    QList<QByteArray> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> " + resources +
            " >> /Contents 4 0 R >>",
        streamObject(content),
        monoFont(),
    };
    objects += more;
    return test::makeRawTestPDF(objects);
}

// The extracted lines of page `index`, top to bottom.
QList<VectorElement*> linesOf(VectorDocument& document, qsizetype index = 0)
{
    QList<VectorElement*> lines;
    for (VectorElement& element : document.pages[index].elements) {
        if (element.isPDFText())
            lines.append(&element);
    }
    std::sort(lines.begin(), lines.end(),
              [](const VectorElement* a, const VectorElement* b) { return a->frame.y < b->frame.y; });
    return lines;
}

void deleteLine(VectorDocument& document, const VectorElement* line)
{
    VectorOperations::deleteElements({line->id}, 0, document);
}

class PDFExportRemovalRoutesTest : public test::FontTestBase {};

}  // namespace

TEST_F(PDFExportRemovalRoutesTest, StatementsOfMarkedContentGoWithTheDeletedLines)
{
    // The first line states its text through a named property list, the
    // second gives an alternate description and an expansion in place; the
    // third, kept, states its own.
    const QByteArray source = pageWith(
        "/Span /MC0 BDC BT /F1 12 Tf 20 150 Td (Alpha line) Tj ET EMC "
        "/Span << /Alt (Alternate secret) /E (Expansion secret) >> BDC BT /F1 12 Tf 20 110 Td (Bravo line) Tj ET EMC "
        "/Span << /ActualText (Kept statement) >> BDC BT /F1 12 Tf 20 70 Td (Charlie kept) Tj ET EMC",
        "/Properties << /MC0 << /ActualText (Confidential statement) >> >>");
    ASSERT_TRUE(decompressed(source).contains("Confidential statement"));
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("marked"), std::nullopt);
    QList<VectorElement*> lines = linesOf(document);
    ASSERT_EQ(lines.size(), 3);
    VectorOperations::deleteElements({lines[0]->id, lines[1]->id}, 0, document);

    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    const QByteArray file = decompressed(pdf);
    for (const char* gone : {"Confidential", "Alternate secret", "Expansion secret", "Alpha", "Bravo"})
        EXPECT_FALSE(file.contains(gone)) << gone;
    EXPECT_TRUE(file.contains("Kept statement"));
    const QString text = pdfToText(pdf);
    EXPECT_FALSE(text.contains(QStringLiteral("Confidential")));
    EXPECT_FALSE(text.contains(QStringLiteral("Bravo")));
    EXPECT_TRUE(text.contains(QStringLiteral("Kept statement"))) << text.toStdString();
}

TEST_F(PDFExportRemovalRoutesTest, SharedPropertyListsAndMarkedPointsLoseWhatTheyStateOfDeletedLines)
{
    // /MC0 states the deleted first line and names the kept last one too
    // (written first); points state text right after the deleted first
    // line, and inside the deleted second line's marked content, the last
    // one after a kept line.
    const QByteArray source = pageWith(
        "/Span /MC0 BDC BT /F1 12 Tf 20 30 Td (Delta kept) Tj ET EMC "
        "/Span /MC0 BDC BT /F1 12 Tf 20 150 Td (Alpha line) Tj ET EMC /Note << /E (Trailing secret) >> DP "
        "/Span << /Lang (en) >> BDC BT /F1 12 Tf 20 110 Td (Bravo line) Tj /Note /MC1 DP ET "
        "BT /F1 12 Tf 20 70 Td (Charlie kept) Tj ET /Note << /Alt (Point secret) >> DP EMC",
        "/Properties << /MC0 << /ActualText (Confidential statement) >> /MC1 << /ActualText (Named point) >> >>");
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("shared"), std::nullopt);
    QList<VectorElement*> lines = linesOf(document);
    ASSERT_EQ(lines.size(), 4);
    VectorOperations::deleteElements({lines[0]->id, lines[1]->id}, 0, document);

    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    const QByteArray file = decompressed(pdf);
    for (const char* gone : {"Confidential", "Point secret", "Named point", "Trailing secret", "Alpha", "Bravo"})
        EXPECT_FALSE(file.contains(gone)) << gone;
    const QString text = pdfToText(pdf);
    EXPECT_FALSE(text.contains(QStringLiteral("Confidential"))) << text.toStdString();
    for (const char* kept : {"Charlie kept", "Delta kept"})
        EXPECT_TRUE(text.contains(QString::fromLatin1(kept))) << text.toStdString();
}

TEST_F(PDFExportRemovalRoutesTest, CopiesOfFormsAndImagesKeepNothingOfWhatTheOriginalsHeld)
{
    // A form drawn first names the property list that states the deleted
    // first line; it draws a kept line and is left as it is. A second form
    // draws the deleted second line and a kept one, and carries a
    // producer's private copy of its artwork and metadata naming the line.
    // An image under a redaction has another version for print.
    const QByteArray source = pageWith(
        "/Kept Do /Span /MC0 BDC BT /F1 12 Tf 20 150 Td (Alpha line) Tj ET EMC /Drawn Do "
        "q 100 0 0 30 180 5 cm /Im Do Q",
        "/Properties 6 0 R /XObject << /Kept 7 0 R /Drawn 8 0 R /Im 10 0 R >>",
        {"<< /MC0 << /ActualText (Confidential statement) >> >>",
         streamObject("/Span /MC0 BDC BT /F1 12 Tf 20 70 Td (Charlie kept) Tj ET EMC",
                      " /Type /XObject /Subtype /Form /BBox [0 0 300 200] "
                      "/Resources << /Font << /F1 5 0 R >> /Properties 6 0 R >>"),
         streamObject("BT /F1 12 Tf 20 110 Td (Bravo line) Tj ET BT /F1 12 Tf 20 90 Td (Echo kept) Tj ET",
                      " /Type /XObject /Subtype /Form /BBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >> "
                      "/PieceInfo << /Illustrator << /Private (Bravo native artwork) >> >> /Metadata 9 0 R"),
         streamObject("<x:xmpmeta><dc:title>Bravo metadata</dc:title></x:xmpmeta>", " /Type /Metadata /Subtype /XML"),
         streamObject(QByteArray(80, '\x40'), " /Type /XObject /Subtype /Image /Width 20 /Height 4 "
                                              "/ColorSpace /DeviceGray /BitsPerComponent 8 "
                                              "/Alternates [<< /Image 11 0 R /DefaultForPrinting true >>]"),
         streamObject(QByteArray("ALTERNATEPRINTPIXELS").repeated(4),
                      " /Type /XObject /Subtype /Image /Width 20 /Height 4 /ColorSpace /DeviceGray "
                      "/BitsPerComponent 8")});
    const QByteArray original = decompressed(source);
    for (const char* held : {"Confidential", "Bravo native", "Bravo metadata", "ALTERNATEPRINT"})
        ASSERT_TRUE(original.contains(held)) << held;
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("objects"), std::nullopt);
    QList<VectorElement*> lines = linesOf(document);
    ASSERT_EQ(lines.size(), 4);
    VectorOperations::deleteElements({lines[0]->id, lines[1]->id}, 0, document);
    // The image, in page space (y down).
    document.pages[0].redactedPDFRects.append(VectorRect(175, 160, 110, 40));

    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    const QByteArray file = decompressed(pdf);
    for (const char* gone : {"Confidential", "Bravo native", "Bravo metadata", "ALTERNATEPRINT", "Alpha", "Bravo"})
        EXPECT_FALSE(file.contains(gone)) << gone;
    const QString text = pdfToText(pdf);
    for (const char* kept : {"Charlie kept", "Echo kept"})
        EXPECT_TRUE(text.contains(QLatin1String(kept))) << text.toStdString();
}

TEST_F(PDFExportRemovalRoutesTest, LinesInFontsClaimingHugeAscentOrDescentAreRemovedWhenReplaced)
{
    const QByteArray source = pageWith(
        "BT /F2 12 Tf 20 150 Td (Ascent secret) Tj ET BT /F3 12 Tf 20 110 Td (Descent secret) Tj ET "
        "BT /F1 12 Tf 20 70 Td (Plain kept line) Tj ET",
        "/Font << /F1 5 0 R /F2 6 0 R /F3 7 0 R >>",
        {monoFont("8 0 R"), monoFont("9 0 R"),
         "<< /Type /FontDescriptor /FontName /Courier /Flags 32 /FontBBox [0 -200 600 800] /ItalicAngle 0 "
         "/Ascent 3000 /Descent -200 /CapHeight 600 /StemV 80 >>",
         "<< /Type /FontDescriptor /FontName /Courier /Flags 32 /FontBBox [0 -200 600 800] /ItalicAngle 0 "
         "/Ascent 800 /Descent -3000 /CapHeight 600 /StemV 80 >>"});
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("claims"), std::nullopt);
    QList<VectorElement*> lines = linesOf(document);
    ASSERT_EQ(lines.size(), 3);
    lines[0]->text()->text = QStringLiteral("Ascent zanzibar");
    lines[1]->text()->text = QStringLiteral("Descent zanzibar");

    const QByteArray pdf = PDFCodec::exportPDF(document);
    EXPECT_FALSE(decompressed(pdf).contains("secret"));
    const QString text = pdfToText(pdf);
    EXPECT_FALSE(text.contains(QStringLiteral("secret"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Plain kept line"))) << text.toStdString();
}

TEST_F(PDFExportRemovalRoutesTest, StencilMaskOfAnImageUnderARedactionShowsNothingThere)
{
    // A black image whose explicit stencil mask spells words: pdfimages
    // writes the stencil as an image of its own.
    QImage shape(120, 40, QImage::Format_Mono);
    shape.fill(1);
    {
        QPainter painter(&shape);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(16);
        painter.setFont(font);
        painter.setPen(QColor::fromRgb(shape.color(0)));
        painter.drawText(QRectF(0, 0, 120, 40), Qt::AlignCenter, QStringLiteral("SECRET WORD"));
    }
    QByteArray bits;
    for (int y = 0; y < shape.height(); ++y) {
        const QImage row = shape.copy(0, y, shape.width(), 1).convertToFormat(QImage::Format_Mono);
        bits += QByteArray(reinterpret_cast<const char*>(row.constScanLine(0)), (shape.width() + 7) / 8);
    }
    // Qt's mono images store colour indexes: write 0 where it drew (shown).
    const bool drawnIsZero = QColor(shape.color(0)) == QColor(Qt::black);
    if (!drawnIsZero) {
        for (char& byte : bits)
            byte = char(~byte);
    }
    const QByteArray black(120 * 40, '\0');
    const QByteArray source = pageWith("q 240 0 0 80 30 60 cm /Im Do Q", "/XObject << /Im 6 0 R >>",
                                       {streamObject(black, " /Type /XObject /Subtype /Image /Width 120 /Height 40 "
                                                            "/ColorSpace /DeviceGray /BitsPerComponent 8 /Mask 7 0 R"),
                                        streamObject(bits, " /Type /XObject /Subtype /Image /Width 120 /Height 40 "
                                                           "/ImageMask true")});
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("stencil"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    // The whole right half of the image, in page space (y down).
    document.pages[0].redactedPDFRects = {VectorRect(150, 60, 120, 80)};
    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    ASSERT_TRUE(report.rasterizedPages.isEmpty());

    const QByteArray list = runTool(QStringLiteral("pdfimages"), {QStringLiteral("-list"), QStringLiteral("@in")}, pdf);
    ASSERT_TRUE(list.contains(" mask ")) << list.toStdString();
    // pdfimages -png writes the image, then its stencil.
    const QByteArray stencil = runTool(QStringLiteral("pdfimages"),
                                       {QStringLiteral("-png"), QStringLiteral("@in"), QStringLiteral("@dir/img")}, pdf,
                                       QStringLiteral("img-001.png"));
    QImage written;
    ASSERT_TRUE(written.loadFromData(stencil, "PNG"));
    ASSERT_EQ(written.size(), QSize(120, 40));
    // Pixels of the right half (x 61 and on, clear of the edge) are all
    // alike; the left half still has both values.
    QSet<QRgb> right;
    QSet<QRgb> leftHalf;
    for (int y = 0; y < 40; ++y) {
        for (int x = 0; x < 120; ++x)
            (x >= 61 ? right : leftHalf).insert(written.pixel(x, y));
    }
    EXPECT_EQ(right.size(), 1);
    EXPECT_EQ(leftHalf.size(), 2);
}

TEST_F(PDFExportRemovalRoutesTest, DeletedPageSharingTheResourcesOfTheOthersLeavesNothingInTheFile)
{
    // Three pages drawing with one resource dictionary; the second draws its
    // words through a form of that dictionary.
    const QByteArray source = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources 6 0 R /Contents 7 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources 6 0 R /Contents 8 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources 6 0 R /Contents 9 0 R >>",
        "<< /Font << /F1 10 0 R >> /XObject << /Two 11 0 R >> >>",
        streamObject("BT /F1 12 Tf 20 100 Td (First page) Tj ET"),
        streamObject("/Two Do"),
        streamObject("BT /F1 12 Tf 20 100 Td (Third page) Tj ET"),
        monoFont(),
        streamObject("BT /F1 12 Tf 20 100 Td (Removed page words) Tj ET",
                     " /Type /XObject /Subtype /Form /BBox [0 0 300 200] /Resources << /Font << /F1 10 0 R >> >>"),
    });
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("shared"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 3);
    VectorOperations::deletePage(document, 1);

    const QByteArray pdf = PDFCodec::exportPDF(document);
    const QByteArray file = decompressed(pdf);
    EXPECT_FALSE(file.contains("Removed page words"));
    EXPECT_TRUE(file.contains("First page"));
    EXPECT_TRUE(file.contains("Third page"));
    const QString text = pdfToText(pdf);
    EXPECT_FALSE(text.contains(QStringLiteral("Removed")));
    EXPECT_TRUE(text.contains(QStringLiteral("Third page")));
}

TEST_F(PDFExportRemovalRoutesTest, UntouchedLineUnderAReplacedOrDeletedNeighbourKeepsEveryGlyphInPlace)
{
    // 12-point Helvetica lines, the lower baseline 10 points under the upper
    // one (2 points tighter than the size), or 7 (the lines overlap); the
    // upper or the lower one replaced, or deleted.
    const QList<QByteArray> printed = {"Remplacer cette ligne longue", "Voici la sc\xe8ne. Fin"};
    struct Case {
        int gap;
        bool deleted;
        int changed;
    };
    std::vector<Case> cases;
    for (const int gap : {10, 7}) {
        for (const bool deleted : {false, true}) {
            for (const int changed : {0, 1})
                cases.push_back({gap, deleted, changed});
        }
    }
    for (const auto& [gap, deleted, replaced] : cases) {
            SCOPED_TRACE(QStringLiteral("gap %1, line %2 %3").arg(gap).arg(replaced)
                             .arg(deleted ? QStringLiteral("deleted") : QStringLiteral("replaced")).toStdString());
            test::TestPDFPage page;
            page.mediaBox = QRectF(0, 0, 300, 200);
            page.texts = {{QPointF(20, 100), 12, printed[0]}, {QPointF(20, 100 - gap), 12, printed[1]}};
            const QByteArray source = test::makeTestPDF({page});
            const QList<PlacedWord> before = placedWords(source);
            VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("tight"), std::nullopt);
            QList<VectorElement*> lines = linesOf(document);
            ASSERT_EQ(lines.size(), 2);
            if (deleted)
                deleteLine(document, lines[replaced]);
            else
                lines[replaced]->text()->text = QStringLiteral("Nouvelle");

            const QByteArray pdf = PDFCodec::exportPDF(document);
            const QList<PlacedWord> after = placedWords(pdf);
            const QStringList kept = QString::fromLatin1(printed[1 - replaced]).split(QLatin1Char(' '));
            expectWordsInPlace(before, after, kept);
            const QString text = pdfToText(pdf);
            const QStringList written = text.simplified().split(QLatin1Char(' '));
            for (const QString& word : QString::fromLatin1(printed[replaced]).split(QLatin1Char(' '))) {
                if (!kept.contains(word)) {
                    EXPECT_FALSE(written.contains(word)) << word.toStdString() << "\n" << text.toStdString();
                }
            }
        }
}

TEST_F(PDFExportRemovalRoutesTest, ContentReadersReadOtherwiseCannotHideADeletedLineFromTheRemoval)
{
    // Readers split "-40Td" into a number and the operator that moves the
    // second line down; they show nothing and move nowhere for a number
    // given to Tj; a form showing text without BT places it from where the
    // page's last text left them; poppler shows text after a path (in its
    // text object or after it) at the path's point. A filter reading one
    // unknown word, taking the number for a TJ adjustment, starting the
    // form's text at its origin or going on from the first line would look
    // for the second line's glyphs where they are not.
    const QByteArray kept = " BT /F1 12 Tf 20 40 Td (Charlie kept) Tj ET";
    const QByteArray form = streamObject("/F1 12 Tf 0 -40 Td (Secret line) Tj",
                                         " /Type /XObject /Subtype /Form /BBox [0 0 300 200]");
    const QList<QByteArray> sources = {
        pageWith("BT /F1 12 Tf 20 150 Td (Alpha line) Tj 0 -40Td (Secret line) Tj ET" + kept),
        pageWith("BT /F1 12 Tf 20 150 Td (Alpha line) Tj 0 -40 Td 900000000 Tj (Secret line) Tj ET" + kept),
        pageWith("BT /F1 12 Tf 20 150 Td (Alpha line) Tj ET /Fm1 Do" + kept, "/XObject << /Fm1 6 0 R >>", {form}),
        pageWith("BT /F1 12 Tf 20 150 Td (Alpha line) Tj 20 110 m n (Secret line) Tj ET" + kept),
        pageWith("BT /F1 12 Tf 20 150 Td (Alpha line) Tj ET 20 110 m n (Secret line) Tj" + kept),
        pageWith("BT /F1 12 Tf 20 150 Td (Alpha line) Tj 20 110 100 12 re n (Secret line) Tj ET" + kept),
        pageWith("BT /F1 12 Tf 20 150 Td (Alpha line) Tj ET 20 110 100 12 re n (Secret line) Tj" + kept),
    };
    for (qsizetype i = 0; i < sources.size(); ++i) {
        VectorDocument document = PDFCodec::importPDF(sources[i], QStringLiteral("hiding"), std::nullopt);
        QList<VectorElement*> lines = linesOf(document);
        ASSERT_EQ(lines.size(), 3) << i;
        ASSERT_EQ(lines[1]->text()->text, QStringLiteral("Secret line")) << i;
        deleteLine(document, lines[1]);

        PDFCodec::PDFExportReport report;
        const QByteArray pdf = PDFCodec::exportPDF(document, &report);
        EXPECT_FALSE(decompressed(pdf).contains("Secret")) << i;
        EXPECT_FALSE(pdfToText(pdf).contains(QStringLiteral("Secret"))) << i;
        // What cannot be read as readers read it is written as a picture.
        ASSERT_EQ(report.rasterizedPages.size(), 1) << i;
        EXPECT_EQ(report.rasterizedPages[0].pageIndex, 0);
    }
}

TEST_F(PDFExportRemovalRoutesTest, RedactedTextInAFontOfNegativeWidthsLeavesNothingReadable)
{
    // Readers draw the first line backwards from x = 280 (to 160); the
    // redaction covers its left part. Taken as widths of nothing, its
    // glyphs would all be looked for at 280, outside the redaction.
    const QByteArray backwards = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FirstChar 32 /LastChar 126 "
                                 "/Widths [" + QByteArray("-500 ").repeated(95) + "] >>";
    const QByteArray source = pageWith("BT /F2 20 Tf 280 150 Td (Secret words) Tj ET "
                                       "BT /F1 12 Tf 20 40 Td (Charlie kept) Tj ET",
                                       "/Font << /F1 5 0 R /F2 6 0 R >>", {backwards});
    ASSERT_TRUE(pdfToText(source).contains(QStringLiteral("sdrow")));
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("backwards"), std::nullopt);
    document.pages[0].redactedPDFRects = {VectorRect(150, 25, 80, 35)};

    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    const QString text = pdfToText(pdf);
    EXPECT_FALSE(text.contains(QStringLiteral("sdrow"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("terceS"))) << text.toStdString();
    ASSERT_EQ(report.rasterizedPages.size(), 1);
    EXPECT_EQ(report.rasterizedPages[0].pageIndex, 0);
}

TEST_F(PDFExportRemovalRoutesTest, WidthsAreReadOnlyFromTheFirstToTheLastCharacterCodeAsReadersReadThem)
{
    // The array goes on past /LastChar: readers give B and the letters of
    // "Secret" the missing width (6 points), so "Secret" lies at x = 62 to
    // 98, under the redaction, and not at x = 198 where the array's extra
    // widths would put it. A first code written as a real number is read
    // otherwise by different readers: that page is a picture.
    const QByteArray descriptor = "<< /Type /FontDescriptor /FontName /Helvetica /Flags 32 /FontBBox [0 -200 1000 "
                                  "900] /ItalicAngle 0 /Ascent 800 /Descent -200 /CapHeight 700 /StemV 80 "
                                  "/MissingWidth 300 >>";
    for (const QByteArray& first : {QByteArray("65"), QByteArray("65.0")}) {
        const QByteArray font = "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /FirstChar " + first +
                                " /LastChar 65 /Widths [600 2000 2000 2000] /FontDescriptor 7 0 R >>";
        const QByteArray source = pageWith("BT /F2 20 Tf 20 150 Td (ABBBB Secret) Tj ET "
                                           "BT /F1 12 Tf 20 40 Td (Charlie kept) Tj ET",
                                           "/Font << /F1 5 0 R /F2 6 0 R >>", {font, descriptor});
        VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("widths"), std::nullopt);
        document.pages[0].redactedPDFRects = {VectorRect(60, 25, 40, 35)};

        PDFCodec::PDFExportReport report;
        const QByteArray pdf = PDFCodec::exportPDF(document, &report);
        const QString text = pdfToText(pdf);
        EXPECT_FALSE(text.contains(QStringLiteral("Secret"))) << first.toStdString() << text.toStdString();
        EXPECT_FALSE(decompressed(pdf).contains("Secret")) << first.toStdString();
        EXPECT_EQ(report.rasterizedPages.size(), first == "65" ? 0 : 1) << first.toStdString();
        if (first == "65") {
            EXPECT_TRUE(text.contains(QStringLiteral("Charlie kept"))) << text.toStdString();
        }
    }
}

TEST_F(PDFExportRemovalRoutesTest, CIDWidthsReadersReadAlikeAreMeasuredAndTheOthersLeaveThePageAPicture)
{
    // Codes 1 to 3 read as A to C. Poppler takes only whole numbers for the
    // default width and the CIDs, and gives a CID listed twice whichever
    // entry its sort leaves first; other readers take such widths otherwise.
    const QByteArray toUnicode = streamObject(
        "/CIDInit /ProcSet findresource begin 12 dict begin begincmap /CMapName /T def 1 begincodespacerange "
        "<0000> <FFFF> endcodespacerange 1 beginbfrange <0001> <0003> <0041> endbfrange endcmap CMapName "
        "currentdict /CMap defineresource pop end end");
    const auto fontWith = [](const QByteArray& widths) {
        return "<< /Type /Font /Subtype /Type0 /BaseFont /Cid /Encoding /Identity-H /DescendantFonts [<< /Type /Font "
               "/Subtype /CIDFontType2 /BaseFont /Cid /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) "
               "/Supplement 0 >> " +
               widths + " >>] /ToUnicode 7 0 R >>";
    };
    for (const QByteArray& widths : {QByteArray("/DW 1000 /W [1 [500 500 500]]"),
                                     QByteArray("/DW 1000 /W [1 [500 500 500] 1 3 1500]"),
                                     QByteArray("/DW 1000 /W [1.0 [500 500 500]]"), QByteArray("/DW 500.5")}) {
        const QByteArray source = pageWith("BT /F2 20 Tf 20 150 Td <0001000200030001000200030001> Tj ET "
                                           "BT /F1 12 Tf 20 40 Td (Charlie kept) Tj ET",
                                           "/Font << /F1 5 0 R /F2 6 0 R >>", {fontWith(widths), toUnicode});
        ASSERT_TRUE(pdfToText(source).contains(QStringLiteral("ABCABCA"))) << widths.toStdString();
        VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("cid"), std::nullopt);
        // Over the third to fifth glyphs at 10 points each.
        document.pages[0].redactedPDFRects = {VectorRect(41, 25, 28, 35)};

        PDFCodec::PDFExportReport report;
        const QByteArray pdf = PDFCodec::exportPDF(document, &report);
        const QString text = pdfToText(pdf);
        const bool measured = widths.startsWith("/DW 1000 /W [1 [500 500 500]]") && !widths.contains(" 1 3 ");
        EXPECT_FALSE(text.contains(QStringLiteral("ABCAB"))) << widths.toStdString() << text.toStdString();
        EXPECT_EQ(report.rasterizedPages.size(), measured ? 0 : 1) << widths.toStdString();
        if (measured) {
            EXPECT_TRUE(text.contains(QStringLiteral("AB"))) << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("CA"))) << text.toStdString();
        }
    }
}

TEST_F(PDFExportRemovalRoutesTest, FontsWithoutWidthsAreMeasuredWithTheWidthsPopplerDrawsThemWith)
{
    // Without widths, poppler draws "ABCDEF+Helvetica" (no descriptor: a
    // serif face) with the widths of Times-Roman, and a TrueType font with
    // its program but sans-serif flags with those of Helvetica, not the
    // program's. Measured otherwise, the end of a replaced line was left
    // in the file.
    const QByteArray dejaVu =
        test::readBinaryFile(QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"));
    if (dejaVu.isEmpty())
        GTEST_SKIP() << "DejaVu Sans is not installed";
    const QList<QList<QByteArray>> fonts = {
        {"<< /Type /Font /Subtype /Type1 /BaseFont /ABCDEF+Helvetica >>"},
        {"<< /Type /Font /Subtype /TrueType /BaseFont /DejaVuSans /Encoding /WinAnsiEncoding /FontDescriptor 7 0 R >>",
         "<< /Type /FontDescriptor /FontName /DejaVuSans /Flags 32 /FontBBox [0 -200 1000 900] /ItalicAngle 0 "
         "/Ascent 800 /Descent -200 /CapHeight 700 /StemV 80 /FontFile2 8 0 R >>",
         streamObject(dejaVu, " /Length1 " + QByteArray::number(dejaVu.size()))},
    };
    for (const QList<QByteArray>& font : fonts) {
        const QByteArray source = pageWith("BT /F2 16 Tf 20 150 Td (ABCDEF Secret iiii WWW) Tj ET "
                                           "BT /F1 12 Tf 20 40 Td (Charlie kept) Tj ET",
                                           "/Font << /F1 5 0 R /F2 6 0 R >>", font);
        VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("widthless"), std::nullopt);
        QList<VectorElement*> lines = linesOf(document);
        ASSERT_EQ(lines.size(), 2) << font[0].toStdString();
        lines[0]->text()->text = QStringLiteral("Replaced");

        PDFCodec::PDFExportReport report;
        const QByteArray pdf = PDFCodec::exportPDF(document, &report);
        const QString text = pdfToText(pdf);
        EXPECT_TRUE(report.rasterizedPages.isEmpty()) << font[0].toStdString();
        for (const char* gone : {"Secret", "iiii", "W"})
            EXPECT_FALSE(text.contains(QLatin1String(gone))) << gone << " in " << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Charlie kept"))) << text.toStdString();
    }
}

namespace {

// The characters poppler reads on page 1 of `pdf` that are not blanks, with
// their boxes (page space, y down).
QList<std::pair<QChar, QRectF>> readCharacters(const QByteArray& pdf)
{
    QList<std::pair<QChar, QRectF>> characters;
    const auto document = PDFDocument::open(pdf);
    if (!document)
        return characters;
    const PDFPageText text = document->pageText(0);
    for (qsizetype i = 0; i < text.text.size() && i < text.characterRects.size(); ++i) {
        if (!text.text[i].isSpace() && !text.characterRects[i].isNull())
            characters.append({text.text[i], text.characterRects[i]});
    }
    return characters;
}

// How many of `wanted` (characters and boxes) `read` still holds at their
// place: the same character, its middle within half a point.
qsizetype stillRead(const QList<std::pair<QChar, QRectF>>& wanted, const QList<std::pair<QChar, QRectF>>& read)
{
    return std::count_if(wanted.begin(), wanted.end(), [&](const auto& character) {
        return std::any_of(read.begin(), read.end(), [&](const auto& other) {
            const QPointF offset = other.second.center() - character.second.center();
            return other.first == character.first && std::abs(offset.x()) <= 0.5 && std::abs(offset.y()) <= 0.5;
        });
    });
}

}  // namespace

TEST_F(PDFExportRemovalRoutesTest, LinesOfPunctuationAloneGoWithTheirLine)
{
    // Leader dots, a rule of underscores, commas and semicolons: their ink
    // lies at the foot of their characters' boxes, or below the baseline,
    // far from the middle of the glyphs. Each such line is replaced by
    // nothing or deleted; the lines around keep every character.
    const QList<QByteArray> punctuation = {"..........", "__________", ",;,;,;,;,;"};
    for (const bool deleted : {false, true}) {
        for (const QByteArray& marks : punctuation) {
            SCOPED_TRACE((QString::fromLatin1(marks) + (deleted ? " deleted" : " emptied")).toStdString());
            const QByteArray source = pageWith("BT /F1 12 Tf 20 150 Td (Chapter one) Tj ET "
                                               "BT /F1 12 Tf 20 130 Td (" + marks + ") Tj ET "
                                               "BT /F1 12 Tf 20 110 Td (Chapter two) Tj ET");
            VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("leaders"), std::nullopt);
            QList<VectorElement*> lines = linesOf(document);
            ASSERT_EQ(lines.size(), 3);
            ASSERT_EQ(lines[1]->text()->text, QString::fromLatin1(marks));
            const QList<std::pair<QChar, QRectF>> before = readCharacters(source);
            QList<std::pair<QChar, QRectF>> removed, kept;
            for (const auto& character : before)
                (marks.contains(character.first.toLatin1()) ? removed : kept).append(character);
            ASSERT_EQ(removed.size(), marks.size());
            if (deleted)
                deleteLine(document, lines[1]);
            else
                lines[1]->text()->text.clear();

            PDFCodec::PDFExportReport report;
            const QByteArray pdf = PDFCodec::exportPDF(document, &report);
            EXPECT_TRUE(report.rasterizedPages.isEmpty());
            const QList<std::pair<QChar, QRectF>> after = readCharacters(pdf);
            EXPECT_EQ(stillRead(removed, after), 0);
            EXPECT_EQ(stillRead(kept, after), kept.size());
            EXPECT_FALSE(decompressed(pdf).contains(marks.left(4)));
        }
    }
}

TEST_F(PDFExportRemovalRoutesTest, AccentsAndStackedPiecesGoWithTheirLineAndTheirNeighboursStay)
{
    // A formula set by ConTeXt: poppler reads the wide hat over "bcd" with
    // "efg" as one line, "bcd" as another; the pieces of the brace over
    // seven a's as a line of their own, the a's and the brace under them
    // as others, all in one another's boxes.
    const QByteArray source = test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/context-math.pdf"));
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("math"), std::nullopt);
    ASSERT_FALSE(document.pages.isEmpty());
    const QString hat = QStringLiteral("\u0302 \U0001D452\U0001D453\U0001D454");
    const QString brace = QStringLiteral("\u23B4\u23B4\u23B4");
    int emptied = 0;
    for (VectorElement& element : document.pages[0].elements) {
        if (TextPayload* text = element.text(); text && (text->text == hat || text->text == brace)) {
            text->text.clear();
            ++emptied;
        }
    }
    ASSERT_EQ(emptied, 2);
    const QList<std::pair<QChar, QRectF>> before = readCharacters(source);
    QList<std::pair<QChar, QRectF>> removed, kept;
    for (const auto& character : before) {
        const bool ofRemoved = character.first == QChar(0x302) || character.first == QChar(0x23B4)
                               || (hat.contains(character.first) && character.second.left() > 255
                                   && character.second.left() < 276 && character.second.top() < 145
                                   && character.second.top() > 125);
        (ofRemoved ? removed : kept).append(character);
    }
    ASSERT_GE(removed.size(), 4);

    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    const QList<std::pair<QChar, QRectF>> after = readCharacters(pdf);
    EXPECT_EQ(stillRead(removed, after), 0);
    EXPECT_EQ(stillRead(kept, after), kept.size());
}

TEST_F(PDFExportRemovalRoutesTest, AHiddenLineAndTheChangedOneAfterItEachLoseTheirOwnGlyphs)
{
    const QByteArray source = pageWith("BT /F1 12 Tf 20 150 Td (Alpha hidden) Tj ET "
                                       "BT /F1 12 Tf 20 138 Td (Bravo edited) Tj ET "
                                       "BT /F1 12 Tf 20 126 Td (Charlie kept) Tj ET");
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("hidden"), std::nullopt);
    QList<VectorElement*> lines = linesOf(document);
    ASSERT_EQ(lines.size(), 3);
    lines[0]->visible = false;
    lines[1]->text()->text = QStringLiteral("Delta");

    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    const QByteArray file = decompressed(pdf);
    const QString text = pdfToText(pdf);
    for (const char* gone : {"Alpha", "hidden", "Bravo", "edited"}) {
        EXPECT_FALSE(file.contains(gone)) << gone;
        EXPECT_FALSE(text.contains(QString::fromLatin1(gone))) << gone << "\n" << text.toStdString();
    }
    EXPECT_TRUE(text.contains(QStringLiteral("Charlie kept"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Delta"))) << text.toStdString();
}

TEST_F(PDFExportRemovalRoutesTest, UntouchedFormWithoutResourcesKeepsItsTextOnARedactedPage)
{
    // The form takes its font from the page, whose own content never names
    // it; the page's first line is deleted.
    const QByteArray source = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R /F2 6 0 R >> "
        "/XObject << /Fm1 7 0 R >> >> /Contents 4 0 R >>",
        streamObject("BT /F1 12 Tf 20 150 Td (Alpha line) Tj ET /Fm1 Do BT /F1 12 Tf 20 40 Td (Charlie kept) Tj ET"),
        monoFont(),
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        streamObject("BT /F2 12 Tf 20 100 Td (Form words) Tj ET", " /Type /XObject /Subtype /Form /BBox [0 0 300 200]"),
    });
    ASSERT_TRUE(pdfToText(source).contains(QStringLiteral("Form words")));
    for (const bool deleted : {true, false}) {
        SCOPED_TRACE(deleted ? "deleted" : "redacted by hand");
        VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("form"), std::nullopt);
        QList<VectorElement*> lines = linesOf(document);
        ASSERT_EQ(lines.size(), 3);
        ASSERT_EQ(lines[0]->text()->text, QStringLiteral("Alpha line"));
        if (deleted)
            deleteLine(document, lines[0]);
        else
            document.pages[0].redactedPDFRects.append(VectorRect(10, 40, 150, 20));

        PDFCodec::PDFExportReport report;
        const QByteArray pdf = PDFCodec::exportPDF(document, &report);
        EXPECT_TRUE(report.rasterizedPages.isEmpty());
        const QString text = pdfToText(pdf);
        EXPECT_FALSE(text.contains(QStringLiteral("Alpha"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Form words"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Charlie kept"))) << text.toStdString();
    }
}

TEST_F(PDFExportRemovalRoutesTest, SmallLineSetJustUnderADeletedHeadingKeepsItsText)
{
    // A 24-point heading, and an 8-point line 6 to 8 points under its
    // baseline, inside the heading's place; the heading deleted or replaced.
    for (const int gap : {6, 7, 8}) {
        for (const bool deleted : {true, false}) {
            SCOPED_TRACE(QStringLiteral("gap %1, %2").arg(gap).arg(deleted ? "deleted" : "replaced").toStdString());
            test::TestPDFPage page;
            page.mediaBox = QRectF(0, 0, 300, 200);
            page.texts = {{QPointF(20, 120), 24, "Heading Gone"}, {QPointF(20, 120 - gap), 8, "small print stays here"}};
            const QByteArray source = test::makeTestPDF({page});
            const QList<PlacedWord> before = placedWords(source);
            VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("heading"), std::nullopt);
            QList<VectorElement*> lines = linesOf(document);
            ASSERT_EQ(lines.size(), 2);
            ASSERT_EQ(lines[0]->text()->text, QStringLiteral("Heading Gone"));
            if (deleted)
                deleteLine(document, lines[0]);
            else
                lines[0]->text()->text = QStringLiteral("New");

            const QByteArray pdf = PDFCodec::exportPDF(document);
            const QList<PlacedWord> after = placedWords(pdf);
            expectWordsInPlace(before, after,
                               {QStringLiteral("small"), QStringLiteral("print"), QStringLiteral("stays"),
                                QStringLiteral("here")},
                               false);
            const QString text = pdfToText(pdf);
            EXPECT_FALSE(text.contains(QStringLiteral("Heading"))) << text.toStdString();
        }
    }
}
