// What an exported PDF page shows besides the page content itself: the
// annotations the editor shows over it (form fields, comments, stamps),
// its layers as the file sets them, text in standard fonts without widths
// kept as vectors, pages of a damaged file exported as well as they can be,
// and a page with elements far off it still readable whole.

#include "core/fonts/TestFonts.h"
#include "core/support/PDFText.h"
#include "core/support/PagePictures.h"
#include "core/support/TestPDF.h"
#include "export/PDFExport.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFImport.h"
#include "svg/SVGCodec.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

QString pdfToText(const QByteArray& pdf)
{
    return test::pdfToText(pdf).simplified();
}

QByteArray stream(const QByteArray& dictionary, const QByteArray& content)
{
    return "<< " + dictionary + " /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content
           + "\nendstream";
}

// The exported page drawn on white at one pixel per point.
QImage exportedPage(const QByteArray& pdf, int index, const QSize& size)
{
    const auto reopened = PDFDocument::open(pdf);
    QImage flat(size, QImage::Format_RGB32);
    flat.fill(Qt::white);
    if (reopened)
        QPainter(&flat).drawImage(0, 0, reopened->renderPage(index, 1));
    return flat;
}

// Images drawn by the page itself or by the forms it draws.
int imagesOnPage(const QByteArray& pdf, int index)
{
    QPDF read;
    read.setSuppressWarnings(true);
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    int images = 0;
    std::function<void(QPDFObjectHandle, int)> count = [&](QPDFObjectHandle resources, int depth) {
        if (!resources.isDictionary() || depth > 8)
            return;
        QPDFObjectHandle objects = resources.getKey("/XObject");
        if (!objects.isDictionary())
            return;
        for (const std::string& key : objects.getKeys()) {
            QPDFObjectHandle object = objects.getKey(key);
            if (!object.isStream())
                continue;
            if (object.getDict().getKey("/Subtype").isNameAndEquals("/Image"))
                ++images;
            else
                count(object.getDict().getKey("/Resources"), depth + 1);
        }
    };
    count(QPDFPageDocumentHelper(read).getAllPages().at(size_t(index)).getAttribute("/Resources", false), 0);
    return images;
}

// A filled form: a text field whose value has no appearance yet, a ticked
// checkbox, a comment, a stamp and a comment hidden by its flags. A form
// that asks for appearances to be made has its checkbox drawn as readers
// draw it, not by its own appearance.
QByteArray filledForm(bool asksForAppearances = false)
{
    return test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [5 0 R 6 0 R] "
            + QByteArray(asksForAppearances ? "/NeedAppearances true " : "")
            + "/DR << /Font << /Helv 4 0 R >> >> /DA (/Helv 0 Tf 0 g) >> >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 300] /Resources << /Font << /F1 4 0 R >> >> "
        "/Contents 10 0 R /Annots [5 0 R 6 0 R 7 0 R 8 0 R 9 0 R] >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        "<< /Type /Annot /Subtype /Widget /FT /Tx /T (name) /V (Jane Doe) /DA (/Helv 14 Tf 0 g) "
        "/Rect [20 215 220 240] /F 4 /P 3 0 R >>",
        "<< /Type /Annot /Subtype /Widget /FT /Btn /T (agree) /V /Yes /AS /Yes /Rect [20 170 44 194] /F 4 /P 3 0 R "
        "/AP << /N << /Yes 11 0 R /Off 12 0 R >> >> >>",
        "<< /Type /Annot /Subtype /FreeText /Rect [20 100 220 130] /Contents (Comment words) "
        "/DA (/Helv 12 Tf 0 g) /F 4 /P 3 0 R /AP << /N 13 0 R >> >>",
        "<< /Type /Annot /Subtype /Stamp /Rect [240 90 390 150] /F 4 /P 3 0 R /AP << /N 14 0 R >> >>",
        "<< /Type /Annot /Subtype /FreeText /Rect [240 200 390 230] /Contents (Hidden note) /F 2 /P 3 0 R "
        "/AP << /N 15 0 R >> >>",
        stream("", "BT /F1 16 Tf 20 270 Td (Form body) Tj ET"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 24 24]", "0 0 1 rg 4 4 16 16 re f"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 24 24]", "0 0 0 RG 1 w 0.5 0.5 23 23 re S"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 200 30] /Resources << /Font << /F1 4 0 R >> >>",
               "BT /F1 14 Tf 0 0.4 0 rg 5 10 Td (Comment words) Tj ET"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 150 60] /Resources << /Font << /F1 4 0 R >> >>",
               "1 0 0 RG 4 w 4 4 142 52 re S BT /F1 22 Tf 1 0 0 rg 14 22 Td (APPROVED) Tj ET"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 150 30] /Resources << /Font << /F1 4 0 R >> >>",
               "BT /F1 12 Tf 5 10 Td (Hidden note) Tj ET"),
    });
}

// A page with one layer off and one on, and a page of another file whose
// layers are off unless listed on.
QByteArray layeredFile(bool baseStateOff)
{
    const QByteArray defaults = baseStateOff ? "/BaseState /OFF /ON [7 0 R]" : "/OFF [6 0 R]";
    return test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R /OCProperties << /OCGs [6 0 R 7 0 R] /D << " + defaults
            + " /Order [6 0 R 7 0 R] >> >> >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 300] /Resources << /Font << /F1 4 0 R >> "
        "/Properties << /Off 6 0 R /On 7 0 R >> >> /Contents 5 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        stream("", "BT /F1 16 Tf 20 260 Td (Always shown) Tj ET\n"
                   "/OC /Off BDC 0 0 1 rg 20 150 120 50 re f BT /F1 16 Tf 20 120 Td (Hidden layer words) Tj ET EMC\n"
                   "/OC /On BDC 1 0 0 rg 220 150 120 50 re f BT /F1 16 Tf 20 60 Td (Visible layer words) Tj ET "
                   "EMC"),
        "<< /Type /OCG /Name (Draft) >>",
        "<< /Type /OCG /Name (Final) >>",
    });
}

// Comments as viewers write them: a free-text note and a signature box
// whose one normal appearance is a stream while /AS names a state, a
// free-text note and a note without any appearance; then a print-only
// comment, a comment in a layer that is off, and an unticked checkbox of a
// form that asks for appearances to be made, none of which the canvas shows.
QByteArray commentedPage()
{
    return test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [7 0 R 11 0 R] "
        "/DR << /Font << /Helv 4 0 R >> >> /DA (/Helv 0 Tf 0 g) >> "
        "/OCProperties << /OCGs [12 0 R] /D << /OFF [12 0 R] /Order [12 0 R] >> >> >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 300] /Resources << /Font << /F1 4 0 R >> >> "
        "/Contents 5 0 R /Annots [6 0 R 7 0 R 8 0 R 9 0 R 10 0 R 11 0 R 13 0 R] >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        stream("", "BT /F1 16 Tf 20 270 Td (Page words) Tj ET"),
        "<< /Type /Annot /Subtype /FreeText /Rect [20 200 220 230] /Contents (Single stream note) "
        "/DA (/Helv 12 Tf 0 g) /F 4 /P 3 0 R /AS /N /AP << /N 14 0 R >> >>",
        "<< /Type /Annot /Subtype /Widget /FT /Sig /T (signature) /Rect [240 200 390 240] /F 4 /P 3 0 R "
        "/AS /N /AP << /N 15 0 R >> >>",
        "<< /Type /Annot /Subtype /FreeText /Rect [20 120 220 180] /Contents (Made note words) /Q 1 "
        "/DA (/Helv 14 Tf 0 0 1 rg) /BS << /W 2 >> /C [1 1 0.6] /F 4 /P 3 0 R >>",
        "<< /Type /Annot /Subtype /Text /Rect [300 140 324 164] /Contents (Icon note) /C [1 1 0] /F 4 /P 3 0 R >>",
        "<< /Type /Annot /Subtype /FreeText /Rect [20 60 220 90] /Contents (Print only) /F 36 /P 3 0 R "
        "/AP << /N 16 0 R >> >>",
        "<< /Type /Annot /Subtype /Widget /FT /Btn /T (unticked) /V /Off /AS /Off /Rect [300 60 324 84] /F 4 "
        "/P 3 0 R /MK << /BC [0 0 0] >> /AP << /N << /Yes 17 0 R /Off 18 0 R >> >> >>",
        "<< /Type /OCG /Name (Drafts) >>",
        "<< /Type /Annot /Subtype /FreeText /Rect [20 20 220 50] /Contents (Layer off) /F 4 /P 3 0 R /OC 12 0 R "
        "/AP << /N 19 0 R >> >>",
        stream("/Type /XObject /Subtype /Form /BBox [0 0 200 30] /Resources << /Font << /F1 4 0 R >> >>",
               "BT /F1 14 Tf 5 10 Td (Single stream note) Tj ET"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 150 40] /Resources << /Font << /F1 4 0 R >> >>",
               "1 0 0 RG 2 w 5 8 m 145 8 l S BT /F1 12 Tf 1 0 0 rg 8 16 Td (Signed by Jane) Tj ET"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 200 30] /Resources << /Font << /F1 4 0 R >> >>",
               "BT /F1 14 Tf 5 10 Td (Print only) Tj ET"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 24 24]", "0 0 1 rg 4 4 16 16 re f"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 24 24]", "0 0 0 RG 1 w 0.5 0.5 23 23 re S"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 200 30] /Resources << /Font << /F1 4 0 R >> >>",
               "0 0 1 rg 0 0 200 30 re f BT /F1 14 Tf 1 1 1 rg 5 10 Td (Layer off) Tj ET"),
    });
}

// A form that asks for appearances to be made, with an unticked checkbox
// and a ticked one: each has appearances of both states of its own.
QByteArray checkboxesToMake()
{
    return test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R /AcroForm << /Fields [4 0 R 5 0 R] /NeedAppearances true "
        "/DA (/Helv 0 Tf 0 g) >> >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 100] /Annots [4 0 R 5 0 R] >>",
        "<< /Type /Annot /Subtype /Widget /FT /Btn /T (unticked) /V /Off /AS /Off /Rect [20 40 44 64] /F 4 "
        "/P 3 0 R /AP << /N << /Yes 6 0 R /Off 7 0 R >> >> >>",
        "<< /Type /Annot /Subtype /Widget /FT /Btn /T (ticked) /V /Yes /AS /Yes /Rect [120 40 144 64] /F 4 "
        "/P 3 0 R /AP << /N << /Yes 6 0 R /Off 7 0 R >> >> >>",
        stream("/Type /XObject /Subtype /Form /BBox [0 0 24 24]", "0 0 1 rg 4 4 16 16 re f"),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 24 24]", "1 0 0 rg 4 4 16 16 re f"),
    });
}

// Mark-ups without appearances, over page words: a square, a circle, a
// line, ink, a highlight, an underline, a strike-out, a squiggly line, a
// polygon and a polyline.
QByteArray markedUpPage()
{
    return test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 300] /Resources << /Font << /F1 4 0 R >> >> "
        "/Contents 5 0 R /Annots [6 0 R 7 0 R 8 0 R 9 0 R 10 0 R 11 0 R 12 0 R 13 0 R 14 0 R 15 0 R] >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>",
        stream("", "BT /F1 14 Tf 142 144 Td (Highlighted) Tj ET"),
        "<< /Type /Annot /Subtype /Square /Rect [20 200 120 260] /C [1 0 0] /IC [0 1 0] /BS << /W 3 >> /F 4 >>",
        "<< /Type /Annot /Subtype /Circle /Rect [140 200 240 260] /C [0 0 1] /BS << /W 2 >> /F 4 >>",
        "<< /Type /Annot /Subtype /Line /Rect [260 200 380 260] /L [265 205 375 255] /C [1 0 1] /BS << /W 2 >> "
        "/F 4 >>",
        "<< /Type /Annot /Subtype /Ink /Rect [20 100 120 180] /InkList [[25 110 60 170 115 120]] /C [0 0.5 0] "
        "/BS << /W 3 >> /F 4 >>",
        "<< /Type /Annot /Subtype /Highlight /Rect [140 140 240 160] /QuadPoints [140 160 240 160 140 140 240 140] "
        "/C [1 1 0] /F 4 >>",
        "<< /Type /Annot /Subtype /Underline /Rect [260 140 380 160] /QuadPoints [260 160 380 160 260 140 380 140] "
        "/C [0 0 1] /F 4 >>",
        "<< /Type /Annot /Subtype /StrikeOut /Rect [140 100 240 120] /QuadPoints [140 120 240 120 140 100 240 100] "
        "/C [1 0 0] /F 4 >>",
        "<< /Type /Annot /Subtype /Squiggly /Rect [260 100 380 120] /QuadPoints [260 120 380 120 260 100 380 100] "
        "/C [0 0.6 0] /F 4 >>",
        "<< /Type /Annot /Subtype /Polygon /Rect [20 20 120 80] /Vertices [25 25 115 25 70 75] /C [0 0 0] "
        "/IC [0.5 0.5 1] /F 4 >>",
        "<< /Type /Annot /Subtype /PolyLine /Rect [140 20 240 80] /Vertices [145 25 190 75 235 25] /C [0.6 0 0] "
        "/F 4 >>",
    });
}

// How many pixels of `area` are not white.
int inkedPixels(const QImage& image, const QRect& area)
{
    int inked = 0;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x)
            inked += qGray(image.pixel(x, y)) < 200 ? 1 : 0;
    }
    return inked;
}

class PDFExportPageContentTest : public test::FontTestBase {};

}  // namespace

TEST_F(PDFExportPageContentTest, AnnotationsTheEditorShowsAreDrawnIntoTheExportedPage)
{
    VectorDocument document = PDFCodec::importPDF(filledForm(), QStringLiteral("form"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    const QSize size(400, 300);

    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    const QString text = pdfToText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Form body"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Jane Doe"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Comment words"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("APPROVED"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Hidden note"))) << text.toStdString();

    // The page looks as the editor shows it; the text field's value is
    // laid out by each reader in its own way, so its box is left out.
    const QImage shown = test::exportedPicture(document.pages[0], 1);
    QImage exported = exportedPage(pdf, 0, size);
    QImage shownElsewhere = shown;
    for (QImage* image : {&exported, &shownElsewhere})
        QPainter(image).fillRect(QRectF(18, 58, 206, 29), Qt::white);
    EXPECT_LT(test::strongShare(exported, shownElsewhere, QRectF(0, 0, 399, 299), 1), 0.002);
    // The ticked box is blue, the stamp red, as on the canvas.
    EXPECT_EQ(exported.pixelColor(32, 118), QColor(0, 0, 255));
    EXPECT_EQ(shown.pixelColor(32, 118), QColor(0, 0, 255));
    EXPECT_EQ(exported.pixelColor(243, 180).red(), 255);

    // A mask over the comment takes its words out of the file.
    document.pages[0].redactedPDFRects = {VectorRect(15, 165, 210, 40)};
    const QByteArray masked = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    const QString maskedText = pdfToText(masked);
    EXPECT_FALSE(maskedText.contains(QStringLiteral("Comment"))) << maskedText.toStdString();
    EXPECT_TRUE(maskedText.contains(QStringLiteral("Jane Doe"))) << maskedText.toStdString();
    EXPECT_TRUE(maskedText.contains(QStringLiteral("APPROVED"))) << maskedText.toStdString();

    // Appearances made for display: the checkbox drawn as the canvas draws it.
    VectorDocument asking = PDFCodec::importPDF(filledForm(true), QStringLiteral("asking"), std::nullopt);
    ASSERT_EQ(asking.pages.size(), 1);
    const QByteArray made = PDFCodec::exportPDF(asking);
    EXPECT_TRUE(pdfToText(made).contains(QStringLiteral("Jane Doe")));
    const QImage madeShown = test::exportedPicture(asking.pages[0], 1);
    const QImage madeExported = exportedPage(made, 0, size);
    EXPECT_NE(madeShown.pixelColor(32, 118), QColor(0, 0, 255));
    EXPECT_LT(test::strongShare(madeExported, madeShown, QRectF(16, 102, 32, 32), 1), 0.02);
    EXPECT_LT(test::strongShare(madeExported, madeShown, QRectF(0, 90, 399, 209), 1), 0.002);
}

TEST_F(PDFExportPageContentTest, CommentsShowInTheExportAsTheCanvasShowsThem)
{
    VectorDocument document = PDFCodec::importPDF(commentedPage(), QStringLiteral("comments"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    const QSize size(400, 300);
    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    const QString text = pdfToText(pdf);
    for (const char* shown : {"Page words", "Single stream note", "Signed by Jane", "Made note words"})
        EXPECT_TRUE(text.contains(QLatin1String(shown))) << shown << ": " << text.toStdString();
    for (const char* left : {"Print only", "Layer off"})
        EXPECT_FALSE(text.contains(QLatin1String(left))) << left << ": " << text.toStdString();

    const QImage shown = test::exportedPicture(document.pages[0], 1);
    const QImage exported = exportedPage(pdf, 0, size);
    // Each comment's box, in page space (y down), looks as on the canvas.
    const QList<QRectF> boxes = {
        QRectF(20, 70, 200, 30),  QRectF(240, 60, 150, 40), QRectF(20, 120, 200, 60), QRectF(300, 136, 24, 24),
        QRectF(20, 210, 200, 30), QRectF(300, 216, 24, 24), QRectF(20, 250, 200, 30),
    };
    for (const QRectF& box : boxes)
        EXPECT_LT(test::strongShare(exported, shown, box, 1), 0.02) << box.x() << "," << box.y();
    EXPECT_LT(test::strongShare(exported, shown, QRectF(0, 0, 399, 299), 1), 0.004);
    // The made note is filled with its colour and the note's icon with its
    // own; the print-only comment, the comment in the layer that is off
    // and the unticked box's tick are on neither.
    EXPECT_EQ(shown.pixelColor(30, 165), QColor(255, 255, 153));
    EXPECT_EQ(exported.pixelColor(30, 165), QColor(255, 255, 153));
    for (const QImage* picture : {&shown, &exported}) {
        const QColor fill = picture->pixelColor(321, 140);
        EXPECT_TRUE(fill.red() > 240 && fill.green() > 240 && fill.blue() < 30) << fill.name().toStdString();
    }
    for (const QImage* picture : {&shown, &exported}) {
        EXPECT_EQ(picture->pixelColor(200, 265), QColor(Qt::white));
        EXPECT_NE(picture->pixelColor(312, 228), QColor(0, 0, 255));
        EXPECT_EQ(picture->pixelColor(30, 222), QColor(Qt::white));
    }

    // A redaction over the made note takes its words out as the page's own.
    document.pages[0].redactedPDFRects = {VectorRect(15, 115, 210, 70)};
    const QByteArray redacted = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    const QString redactedText = pdfToText(redacted);
    EXPECT_FALSE(redactedText.contains(QStringLiteral("Made note"))) << redactedText.toStdString();
    EXPECT_TRUE(redactedText.contains(QStringLiteral("Single stream note"))) << redactedText.toStdString();

    // Mark-ups without appearances, drawn as the canvas draws them.
    VectorDocument marked = PDFCodec::importPDF(markedUpPage(), QStringLiteral("marked"), std::nullopt);
    ASSERT_EQ(marked.pages.size(), 1);
    const QImage markedShown = test::exportedPicture(marked.pages[0], 1);
    const QImage markedExported = exportedPage(PDFCodec::exportPDF(marked), 0, size);
    EXPECT_LT(test::strongShare(markedExported, markedShown, QRectF(0, 0, 399, 299), 1), 0.001);
    for (const QPoint& inside : {QPoint(70, 70), QPoint(70, 250), QPoint(145, 150), QPoint(235, 150)}) {
        EXPECT_EQ(markedExported.pixelColor(inside), markedShown.pixelColor(inside)) << inside.x() << "," << inside.y();
        EXPECT_NE(markedExported.pixelColor(inside), QColor(Qt::white)) << inside.x() << "," << inside.y();
    }
    EXPECT_GT(inkedPixels(markedExported, QRect(260, 170, 120, 30)), 100);

    // Boxes a form asks to be made: the unticked one shows no tick, as on
    // the canvas, the ticked one its tick.
    VectorDocument form = PDFCodec::importPDF(checkboxesToMake(), QStringLiteral("boxes"), std::nullopt);
    ASSERT_EQ(form.pages.size(), 1);
    const QImage boxesShown = test::exportedPicture(form.pages[0], 1);
    const QImage boxesExported = exportedPage(PDFCodec::exportPDF(form), 0, QSize(200, 100));
    for (const QImage* picture : {&boxesShown, &boxesExported}) {
        EXPECT_EQ(inkedPixels(*picture, QRect(20, 36, 24, 24)), 0);
        EXPECT_GT(inkedPixels(*picture, QRect(120, 36, 24, 24)), 20);
    }
}

TEST_F(PDFExportPageContentTest, LayersShowAsTheFileSetsThem)
{
    const QByteArray first = layeredFile(false);
    const QByteArray second = layeredFile(true);
    VectorDocument document = PDFCodec::importPDF(first, QStringLiteral("layers"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    const QSize size(400, 300);
    const auto expectLayers = [&](const QByteArray& pdf, int pages) {
        const QString text = pdfToText(pdf);
        EXPECT_EQ(text.count(QStringLiteral("Visible layer words")), pages) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("Hidden"))) << text.toStdString();
        for (int i = 0; i < pages; ++i) {
            const QImage exported = exportedPage(pdf, i, size);
            EXPECT_EQ(exported.pixelColor(80, 125), QColor(Qt::white)) << "page " << i;
            EXPECT_EQ(exported.pixelColor(280, 125), QColor(255, 0, 0)) << "page " << i;
        }
    };

    SCOPED_TRACE("unedited");
    expectLayers(PDFCodec::exportPDF(document), 1);
    const QImage shown = test::exportedPicture(document.pages[0], 1);
    EXPECT_EQ(shown.pixelColor(80, 125), QColor(Qt::white));

    // With a page of another file whose layers are off but one, and a mask
    // that sends the content through the filter.
    VectorDocument other = PDFCodec::importPDF(second, QStringLiteral("other"), std::nullopt);
    ASSERT_EQ(other.pages.size(), 1);
    document.pages.append(other.pages[0]);
    document.pages[0].redactedPDFRects = {VectorRect(15, 30, 200, 20)};
    SCOPED_TRACE("two files, masked");
    expectLayers(PDFCodec::exportPDF(document), 2);
}

TEST_F(PDFExportPageContentTest, StandardFontsWithoutWidthsStayVectorText)
{
    // Helvetica and Times-Roman in their standard encodings, Arial,Bold
    // and a Times with its own differences: none has widths.
    const QByteArray source = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 400 300] /Resources << /Font << /H 4 0 R /T 5 0 R /A 6 0 R "
        "/D 7 0 R >> >> /Contents 8 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding /WinAnsiEncoding >>",
        "<< /Type /Font /Subtype /TrueType /BaseFont /Arial,Bold /Encoding /WinAnsiEncoding >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Times-Roman /Encoding << /BaseEncoding /WinAnsiEncoding "
        "/Differences [1 /W /i /d /t /h] >> >>",
        stream("", "BT /H 16 Tf 20 260 Td (Sans serif line of words) Tj ET\n"
                   "BT /T 16 Tf 20 220 Td (Serif line of other words) Tj ET\n"
                   "BT /A 16 Tf 20 180 Td (Bold line in Arial) Tj ET\n"
                   "BT /D 16 Tf 20 140 Td (Serif ) Tj <0102030405> Tj ( by differences) Tj ET"),
    });
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("standard"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    int edited = 0;
    for (VectorElement& element : document.pages[0].elements) {
        if (TextPayload* text = element.text(); text && text->isPDFExtracted) {
            text->text = QStringLiteral("Changed %1").arg(++edited);
        }
    }
    ASSERT_EQ(edited, 4);

    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    EXPECT_TRUE(report.rasterizedPages.isEmpty());
    EXPECT_EQ(imagesOnPage(pdf, 0), 0);
    const QString text = pdfToText(pdf);
    for (int i = 1; i <= edited; ++i)
        EXPECT_TRUE(text.contains(QStringLiteral("Changed %1").arg(i))) << text.toStdString();
    for (const char* word : {"Sans", "Serif", "Arial", "Width", "differences"})
        EXPECT_FALSE(text.contains(QLatin1String(word))) << word << ": " << text.toStdString();
}

TEST_F(PDFExportPageContentTest, UnchangedPageKeepsItsContentCompressedAsTheSourceHasIt)
{
    // Page 1's one content stream is deflated (as zlib writes it, without
    // Qt's length prefix); page 2 draws two streams, one of them deflated.
    const QByteArray first = qCompress(QByteArray("BT /F1 16 Tf 20 150 Td (Compressed page words) Tj ET"), 9).mid(4);
    const QByteArray second = qCompress(QByteArray("BT /F1 16 Tf 20 150 Td (Second part words) Tj ET"), 9).mid(4);
    const QByteArray source = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >> "
        "/Contents 6 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >> "
        "/Contents [7 0 R 8 0 R] >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        stream("/Filter /FlateDecode", first),
        stream("", "BT /F1 16 Tf 20 100 Td (First part words) Tj ET"),
        stream("/Filter [/FlateDecode]", second),
    });
    const VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("compressed"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 2);
    const QByteArray pdf = PDFCodec::exportPDF(document);
    // The writer copies the stream rather than deflating it again.
    EXPECT_TRUE(pdf.contains(first));
    const QString text = pdfToText(pdf);
    for (const char* words : {"Compressed page words", "First part words", "Second part words"})
        EXPECT_TRUE(text.contains(QLatin1String(words))) << words << ": " << text.toStdString();
}

TEST_F(PDFExportPageContentTest, DamagedPageOfASourceIsExportedAsWellAsItCanBe)
{
    // The second page draws a form whose compressed content does not
    // inflate, and its own content runs into garbage; the third page's
    // content does not inflate at all.
    const QByteArray source = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> >> "
        "/Contents 7 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> "
        "/XObject << /Fm 9 0 R >> >> /Contents 8 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> >> "
        "/Contents 10 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        stream("", "BT /F1 16 Tf 20 150 Td (First page words) Tj ET"),
        stream("", "BT /F1 16 Tf 20 150 Td (Second page words) Tj ET /Fm Do\n"
                   "0 0 1 rg 200 20 60 60 re f ) ] >> garbage BT ("),
        stream("/Type /XObject /Subtype /Form /BBox [0 0 300 200] /Filter /FlateDecode", "not deflated at all"),
        stream("/Filter /FlateDecode", "this is not deflated either"),
    });
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("damaged"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 3);

    for (const bool masked : {false, true}) {
        SCOPED_TRACE(masked ? "masked" : "unmasked");
        for (VectorPage& page : document.pages)
            page.redactedPDFRects = masked ? QList<VectorRect>{VectorRect(0, 0, 10, 10)} : QList<VectorRect>{};
        PDFCodec::PDFExportReport report;
        QByteArray pdf;
        EXPECT_NO_THROW(pdf = PDFCodec::exportPDF(document, &report));
        const auto reopened = PDFDocument::open(pdf);
        ASSERT_TRUE(reopened);
        EXPECT_EQ(reopened->pageCount(), 3);
        const QString text = pdfToText(pdf);
        EXPECT_TRUE(text.contains(QStringLiteral("First page words"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("Second page words")) || masked) << text.toStdString();
        for (const PDFCodec::RasterizedPage& page : report.rasterizedPages)
            EXPECT_GE(page.pageIndex, 1);
        // The damaged pages show what the editor shows of them.
        for (int i = 1; i < 3; ++i) {
            const QImage shown = test::exportedPicture(document.pages[i], 1);
            const QImage exported = exportedPage(pdf, i, QSize(300, 200));
            EXPECT_LT(test::strongShare(exported, shown, QRectF(0, 0, 299, 199), 1), 0.01) << "page " << i;
        }
    }
}

TEST_F(PDFExportPageContentTest, ContentCutShortIsExportedAsFarAsItReadsAsVectors)
{
    // The compressed content of the second page breaks off half-way, as in
    // a file cut short; that of the third goes bad half-way, as in a damaged
    // download. Readers draw what inflates before the damage, and so does the
    // export, as vectors and text rather than as a picture.
    QByteArray content = "BT /F1 16 Tf 20 170 Td (Words before the damage) Tj ET\n";
    for (int i = 0; i < 1500; ++i)
        content += "0." + QByteArray::number(i % 10) + " g " + QByteArray::number(10 + i % 280) + " "
                   + QByteArray::number(20 + (i * 7) % 120) + " 3 3 re f\n";
    content += "BT /F1 16 Tf 20 5 Td (Words after the damage) Tj ET\n";
    const QByteArray deflated = qCompress(content).mid(4);
    const QByteArray damaged = QByteArray(deflated).replace(deflated.size() / 2, 40, QByteArray(40, '\0'));
    const QByteArray source = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R 5 0 R] /Count 3 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> >> "
        "/Contents 7 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> >> "
        "/Contents 8 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> >> "
        "/Contents 9 0 R >>",
        "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
        stream("", "BT /F1 16 Tf 20 150 Td (First page words) Tj ET"),
        stream("/Filter /FlateDecode", deflated.left(deflated.size() / 2)),
        stream("/Filter /FlateDecode", damaged),
    });
    VectorDocument document = PDFCodec::importPDF(source, QStringLiteral("cut"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 3);

    for (const bool masked : {false, true}) {
        SCOPED_TRACE(masked ? "masked" : "unmasked");
        for (VectorPage& page : document.pages)
            page.redactedPDFRects = masked ? QList<VectorRect>{VectorRect(290, 190, 10, 10)} : QList<VectorRect>{};
        PDFCodec::PDFExportReport report;
        const QByteArray pdf = PDFCodec::exportPDF(document, &report);
        // What the damaged content inflates to ends in garbage: it is drawn
        // as it is, but text cannot be taken out of it.
        const int pages = masked ? 2 : 3;
        EXPECT_EQ(report.rasterizedPages.size(), 3 - pages);
        const QString text = pdfToText(pdf);
        EXPECT_TRUE(text.contains(QStringLiteral("First page words"))) << text.toStdString();
        EXPECT_EQ(text.count(QStringLiteral("Words before the damage")), pages - 1) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("after the damage"))) << text.toStdString();
        for (int i = 1; i < 3; ++i) {
            EXPECT_EQ(imagesOnPage(pdf, i), i < pages ? 0 : 1) << "page " << i;
            const QImage shown = test::exportedPicture(document.pages[i], 1);
            const QImage exported = exportedPage(pdf, i, QSize(300, 200));
            EXPECT_LT(test::strongShare(exported, shown, QRectF(0, 0, 299, 199), 1), 0.01) << "page " << i;
        }
    }
}

TEST_F(PDFExportPageContentTest, ElementsFarOffThePageLeaveTheRestOfItReadable)
{
    // Shapes and a line placed absurdly far away (a typing slip in an SVG,
    // a hostile file): they show nothing on the page, and what the page
    // shows is written whole around them. A band reaching that far from
    // the page still shows its part of it.
    const VectorDocument document = SVGCodec::importSVG(
        QStringLiteral("<svg xmlns='http://www.w3.org/2000/svg' width='595' height='842' viewBox='0 0 595 842'>"
                       "<rect x='1e20' y='300' width='50' height='50' fill='#ff0000'/>"
                       "<rect x='72' y='-3e15' width='50' height='50' fill='#ff0000'/>"
                       "<text x='72' y='400' font-family='Liberation Sans' font-size='14'>Visible line</text>"
                       "<text x='-1e30' y='420' font-family='Liberation Sans' font-size='14'>Far line</text>"
                       "<rect x='72' y='500' width='100' height='40' fill='#0000ff'/>"
                       "<text x='72' y='600' font-family='Liberation Sans' font-size='14'>Last line</text>"
                       "<rect x='-1e20' y='700' width='2e20' height='30' fill='#00ff00'/>"
                       "</svg>"),
        QStringLiteral("far"), std::nullopt);
    ASSERT_EQ(document.pages.size(), 1);
    ASSERT_EQ(document.pages[0].elements.size(), 7);
    const QByteArray pdf = PDFCodec::exportPDF(document);
    ASSERT_FALSE(pdf.isEmpty());
    const QString text = pdfToText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Visible line"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Last line"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Far line"))) << text.toStdString();
    const QImage page = exportedPage(pdf, 0, QSize(595, 842));
    EXPECT_EQ(page.pixelColor(120, 520), QColor(0, 0, 255));
    // Drawn as a picture of the part it shows: green within a step.
    const QColor band = page.pixelColor(300, 715);
    EXPECT_TRUE(band.red() <= 2 && band.green() >= 253 && band.blue() <= 2) << band.name().toStdString();
    EXPECT_EQ(page.pixelColor(300, 690), QColor(Qt::white));
}
