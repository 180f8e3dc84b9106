// What an exported PDF holds under the masks of deleted and changed PDF
// text: on PDFs of other producers, the words are gone from the file while
// the page looks as the editor shows it.

#include "core/fonts/TestFonts.h"
#include "core/support/PDFText.h"
#include "core/support/PagePictures.h"
#include "core/support/TestPDF.h"
#include "export/PDFExport.h"
#include "operations/VectorOperations.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFImport.h"
#include "support/LanguageFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include <QImage>
#include <QPainter>
#include <QRegularExpression>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

QString pdfToText(const QByteArray& pdf)
{
    return test::pdfToText(pdf, {QStringLiteral("-layout")});
}

QString simplified(const QString& text)
{
    QString result = text.simplified();
    // Ligatures as poppler may write them.
    result.replace(QChar(0xFB01), QStringLiteral("fi")).replace(QChar(0xFB02), QStringLiteral("fl"));
    result.replace(QChar(0xFB00), QStringLiteral("ff")).replace(QChar(0xFB03), QStringLiteral("ffi"));
    return result;
}

QStringList wordsOf(const QString& text)
{
    return simplified(text).split(QRegularExpression(QStringLiteral("[^\\w]+")), Qt::SkipEmptyParts);
}

// What `qpdf --check` checks: the file reads without warnings, every stream
// decodes, and every page's content parses.
// The first channel of every pixel of each image of `pdf` that lies inside
// `area` (page points, two pixels in from its edges), for a picture drawn
// over the whole page of width `pageWidth`.
QList<QList<int>> imagePixelsIn(const QByteArray& pdf, const QRectF& area, double pageWidth)
{
    QPDF read;
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    QList<QList<int>> images;
    for (QPDFObjectHandle object : read.getAllObjects()) {
        if (!object.isStream() || !object.getDict().getKey("/Subtype").isNameAndEquals("/Image"))
            continue;
        const int width = int(object.getDict().getKey("/Width").getIntValue());
        const int height = int(object.getDict().getKey("/Height").getIntValue());
        const std::shared_ptr<Buffer> data = object.getStreamData(qpdf_dl_all);
        const size_t channels = data->getSize() / size_t(width * height);
        EXPECT_GE(channels, 1u);
        const double toPixels = width / pageWidth;
        QList<int> pixels;
        for (int y = int(area.top() * toPixels) + 2; y < int(area.bottom() * toPixels) - 2; ++y) {
            for (int x = int(area.left() * toPixels) + 2; x < int(area.right() * toPixels) - 2; ++x)
                pixels.append(data->getBuffer()[(size_t(y) * size_t(width) + size_t(x)) * channels]);
        }
        images.append(pixels);
    }
    return images;
}

void expectSoundFile(const QByteArray& pdf)
{
    QPDF read;
    read.setSuppressWarnings(true);
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    for (QPDFObjectHandle object : read.getAllObjects()) {
        if (object.isStream())
            object.getStreamData(qpdf_dl_generalized);
    }
    struct Ignore : QPDFObjectHandle::ParserCallbacks {
        void handleObject(QPDFObjectHandle, size_t, size_t) override {}
        void handleEOF() override {}
    } ignore;
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(read).getAllPages()) {
        page.parseContents(&ignore);
        for (auto& [name, form] : page.getFormXObjects())
            QPDFObjectHandle::parseContentStream(form, &ignore);
    }
    EXPECT_EQ(read.numWarnings(), 0u);
}

// The decoded bytes of the streams a page draws from its backdrop, in
// order: the content that puts the backdrop under the page, and the
// XObjects of its resources (the page's masks and elements are drawn by Qt
// after them, their content depending on the pages drawn before).
QList<QByteArray> pageStreams(const QByteArray& pdf, int index)
{
    QPDF read;
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    QPDFPageObjectHelper page = QPDFPageDocumentHelper(read).getAllPages().at(size_t(index));
    QList<QByteArray> streams;
    const auto add = [&](QPDFObjectHandle stream) {
        const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
        streams.append(QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize())));
    };
    add(page.getPageContents().front());
    for (auto& [name, object] : page.getFormXObjects())
        add(object);
    return streams;
}

VectorDocument imported(const QByteArray& pdf, const QString& title)
{
    return PDFCodec::importPDF(pdf, title, std::nullopt);
}

// The first extracted line of at least `words` words that shares no word
// of four letters or more with `other`.
const VectorElement* lineOf(const VectorPage& page, int words, const QString& other = {})
{
    const QStringList taken = wordsOf(other);
    for (const VectorElement& element : page.elements) {
        if (!element.text() || !element.text()->isPDFExtracted)
            continue;
        const QStringList own = wordsOf(element.text()->text);
        if (own.size() < words)
            continue;
        bool shared = false;
        for (const QString& word : own)
            shared = shared || (word.size() >= 4 && taken.contains(word));
        if (!shared)
            return &element;
    }
    return nullptr;
}

QByteArray streamObject(const QByteArray& content)
{
    return "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream";
}

class PDFExportMaskTest : public test::FontTestBase {};

}  // namespace

TEST_F(PDFExportMaskTest, DeletedAndReplacedLinesOfOtherProducersLeaveTheFile)
{
    for (const char* name : {"groff-memo.pdf", "pdftex-paper.pdf", "cairo-memo.pdf"}) {
        SCOPED_TRACE(name);
        const QByteArray source = test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/") + QLatin1String(name));
        VectorDocument document = imported(source, QString::fromLatin1(name));
        ASSERT_FALSE(document.pages.isEmpty());
        const QString before = pdfToText(source);

        const VectorElement* deleted = lineOf(document.pages[0], 6);
        ASSERT_TRUE(deleted);
        const QString deletedText = deleted->text()->text;
        const VectorElement* replaced = lineOf(document.pages[0], 6, deletedText);
        ASSERT_TRUE(replaced);
        const QString replacedText = replaced->text()->text;
        // The last word of the replaced line becomes a new one.
        QStringList newWords = replacedText.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString oldWord = newWords.takeLast();
        newWords.append(QStringLiteral("Zanzibar"));
        const QString newText = newWords.join(QLatin1Char(' '));

        const QUuid replacedId = replaced->id;
        VectorOperations::deleteElements({deleted->id}, 0, document);
        for (VectorElement& element : document.pages[0].elements) {
            if (element.id == replacedId)
                element.text()->text = newText;
        }

        PDFCodec::PDFExportReport report;
        const QByteArray pdf = PDFCodec::exportPDF(document, &report);
        EXPECT_TRUE(report.rasterizedPages.isEmpty());
        expectSoundFile(pdf);
        const QString after = pdfToText(pdf);

        // Words of the deleted line found nowhere else on the page are gone.
        const QStringList beforeWords = wordsOf(before);
        const QStringList afterWords = wordsOf(after);
        for (const QString& word : wordsOf(deletedText)) {
            if (beforeWords.count(word) == 1) {
                EXPECT_FALSE(afterWords.contains(word)) << word.toStdString();
            }
        }
        if (beforeWords.count(wordsOf(oldWord).value(0)) == 1) {
            EXPECT_FALSE(afterWords.contains(wordsOf(oldWord).value(0))) << oldWord.toStdString();
        }
        // The edited line reads in place as one line.
        bool found = false;
        for (const QString& line : after.split(QLatin1Char('\n')))
            found = found || simplified(line).contains(simplified(newText));
        EXPECT_TRUE(found) << newText.toStdString() << "\n" << after.toStdString();

        // The page looks as the editor draws it.
        const auto reopened = PDFDocument::open(pdf);
        ASSERT_TRUE(reopened);
        const QImage exported = reopened->renderPage(0, 1).convertToFormat(QImage::Format_RGB32);
        QImage shown = test::exportedPicture(document.pages[0], 1);
        ASSERT_EQ(exported.size(), shown.size());
        QImage flat(exported.size(), QImage::Format_RGB32);
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, reopened->renderPage(0, 1));
        EXPECT_LT(test::strongShare(flat, shown, QRectF(0, 0, document.pages[0].width - 1, document.pages[0].height - 1), 1),
                  0.002);
    }
}

TEST_F(PDFExportMaskTest, PagesWithoutMasksAreWrittenAsBefore)
{
    const QByteArray source = test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/groff-memo.pdf"));
    VectorDocument plain = imported(source, QStringLiteral("memo"));
    plain.pages.append(plain.pages[0]);
    plain.pages[1].id = QUuid::createUuid();
    VectorDocument masked = plain;
    masked.pages[0].redactedPDFRects = {VectorRect(90, 180, 200, 30)};

    const QByteArray plainPDF = PDFCodec::exportPDF(plain);
    const QByteArray maskedPDF = PDFCodec::exportPDF(masked);
    const QList<QByteArray> unmasked = pageStreams(maskedPDF, 1);
    EXPECT_EQ(unmasked, pageStreams(plainPDF, 1));
    // The backdrop is the original page's content, byte for byte.
    QPDF original;
    original.processMemoryFile("source", source.constData(), size_t(source.size()));
    QByteArray content;
    for (QPDFObjectHandle& stream : QPDFPageDocumentHelper(original).getAllPages().front().getPageContents()) {
        const std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
        content += QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
    }
    EXPECT_TRUE(unmasked.contains(content));
    EXPECT_NE(pageStreams(maskedPDF, 0), pageStreams(plainPDF, 0));
    expectSoundFile(maskedPDF);
}

TEST_F(PDFExportMaskTest, ScannedPageLosesItsTextLayerAndPixelsUnderTheMask)
{
    // A page picture with two lines of large print under the invisible
    // (mode 3) text layer OCR put over it.
    const QByteArray source = test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/scan-invoice.pdf"));
    ASSERT_TRUE(pdfToText(source).contains(QStringLiteral("Bernard")));

    VectorDocument document = imported(source, QStringLiteral("scan"));
    ASSERT_FALSE(document.pages.isEmpty());
    VectorPage& page = document.pages[0];
    QRectF word;
    for (const VectorElement& element : page.elements) {
        if (element.text() && element.text()->text.contains(QStringLiteral("Bernard")))
            word = element.text()->originalPDFRect.value_or(element.frame).toQRectF();
    }
    ASSERT_FALSE(word.isNull());
    // Redact the word's right part only: "Bernard" is then gone from the text layer.
    const QRectF name(word.right() - word.width() * 0.4, word.top(), word.width() * 0.4, word.height());
    page.redactedPDFRects = {VectorRect(name.x(), name.y(), name.width(), name.height())};

    const QByteArray pdf = PDFCodec::exportPDF(document);
    expectSoundFile(pdf);
    const QString text = pdfToText(pdf);
    EXPECT_FALSE(text.contains(QStringLiteral("Bernard"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Invoice")));

    // No dark pixel is left in the file's image under the mask.
    const QList<QList<int>> images = imagePixelsIn(pdf, name, page.width);
    for (const QList<int>& pixels : images)
        EXPECT_EQ(std::count_if(pixels.begin(), pixels.end(), [](int value) { return value < 128; }), 0);
    EXPECT_EQ(images.size(), 1);

    // Under an edited line's mask the picture takes the mask's own colour
    // (its grey here), not the page's.
    for (VectorElement& element : page.elements) {
        if (TextPayload* payload = element.text(); payload && payload->text.contains(QStringLiteral("Bernard"))) {
            payload->text = QStringLiteral("Invoice to Martin");
            payload->maskColorHex = QStringLiteral("#336699");
        }
    }
    page.redactedPDFRects.clear();
    const QByteArray edited = PDFCodec::exportPDF(document);
    expectSoundFile(edited);
    const int grey = int(std::lround((0.299 * 0x33 + 0.587 * 0x66 + 0.114 * 0x99)));
    const QList<QList<int>> under = imagePixelsIn(edited, word, page.width);
    ASSERT_EQ(under.size(), 1);
    ASSERT_FALSE(under[0].isEmpty());
    for (const int value : under[0])
        ASSERT_NEAR(value, grey, 2);
}

TEST_F(PDFExportMaskTest, PageThatCannotBeFilteredIsWrittenAsAPicture)
{
    // The first page's text is set in a font without widths whose
    // embedded program names its codes itself, and cannot be read: its
    // glyphs cannot be placed.
    const QByteArray source = test::makeRawTestPDF({
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R 4 0 R] /Count 2 >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> >> /Contents 5 0 R >>",
        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 6 0 R >> >> /Contents 7 0 R >>",
        streamObject("BT /F1 20 Tf 20 100 Td (Confidential words) Tj ET"),
        "<< /Type /Font /Subtype /TrueType /BaseFont /MysteryFont /FontDescriptor << /Flags 32 /FontFile2 8 0 R >> >>",
        streamObject("BT /F1 20 Tf 20 100 Td (Second page) Tj ET"),
        streamObject("not a font program"),
    });
    VectorDocument document = imported(source, QStringLiteral("mystery"));
    ASSERT_EQ(document.pages.size(), 2);
    document.pages[0].redactedPDFRects = {VectorRect(10, 70, 280, 40)};

    PDFCodec::PDFExportReport report;
    const QByteArray pdf = PDFCodec::exportPDF(document, &report);
    ASSERT_EQ(report.rasterizedPages.size(), 1);
    EXPECT_EQ(report.rasterizedPages[0].pageIndex, 0);
    expectSoundFile(pdf);
    const QString text = pdfToText(pdf);
    EXPECT_FALSE(text.contains(QStringLiteral("Confidential")));
    EXPECT_TRUE(text.contains(QStringLiteral("Second page")));

    // The picture has at least 300 dots per inch and shows the page as the editor does.
    QPDF read;
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    QPDFPageObjectHelper first = QPDFPageDocumentHelper(read).getAllPages().front();
    std::map<std::string, QPDFObjectHandle> images = first.getImages();
    ASSERT_EQ(images.size(), 1u);
    EXPECT_GE(images.begin()->second.getDict().getKey("/Width").getIntValue(), 300 * 300 / 72);
    const auto reopened = PDFDocument::open(pdf);
    ASSERT_TRUE(reopened);
    QImage flat(300, 200, QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, reopened->renderPage(0, 1));
    EXPECT_LT(test::strongShare(flat, test::exportedPicture(document.pages[0], 1), QRectF(0, 0, 299, 199), 1), 0.01);

    {
        test::ScopedLanguage english(AppLanguage::en);
        EXPECT_EQ(PDFCodec::rasterizedPagesNote(report),
                  QStringLiteral("page 1 written as a picture: its masked text could not be removed"));
        report.rasterizedPages.append({2, QStringLiteral("damaged")});
        EXPECT_EQ(PDFCodec::rasterizedPagesNote(report),
                  QStringLiteral("pages 1, 3 written as pictures: their masked text could not be removed"));
    }
    {
        test::ScopedLanguage french(AppLanguage::fr);
        EXPECT_EQ(PDFCodec::rasterizedPagesNote(report),
                  QStringLiteral("pages 1, 3 écrites en images : leur texte masqué n'a pas pu être retiré"));
    }
    EXPECT_TRUE(PDFCodec::rasterizedPagesNote({}).isEmpty());
}

namespace {

// Whether every backdrop form of the export is compressed.
bool backdropsCompressed(const QByteArray& pdf)
{
    QPDF read;
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    for (QPDFPageObjectHelper& page : QPDFPageDocumentHelper(read).getAllPages()) {
        for (auto& [name, form] : page.getFormXObjects()) {
            if (!form.getDict().getKey("/Filter").isNameAndEquals("/FlateDecode"))
                return false;
        }
    }
    return true;
}

}  // namespace

TEST_F(PDFExportMaskTest, PagesDrawnOnSeveralThreadsKeepTheirBackdropsAsOnePageAloneDoes)
{
    const QByteArray source = test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/groff-memo.pdf"));
    VectorDocument one = imported(source, QStringLiteral("memo"));
    one.pages.resize(1);
    int lines = 0;
    for (VectorElement& element : one.pages[0].elements) {
        if (TextPayload* text = element.text(); text && text->isPDFExtracted) {
            text->text = QStringLiteral("EDITED ") + text->text;
            ++lines;
        }
    }
    ASSERT_GT(lines, 5);
    // Enough edited lines for the pages to be shared out among threads.
    VectorDocument many = one;
    while (many.pages.size() * lines < 1200) {
        many.pages.append(one.pages[0]);
        many.pages.back().id = QUuid::createUuid();
    }

    const QByteArray alone = PDFCodec::exportPDF(one);
    const QByteArray shared = PDFCodec::exportPDF(many);
    const QList<QByteArray> backdrop = pageStreams(alone, 0).mid(1);
    ASSERT_FALSE(backdrop.isEmpty());
    for (int i = 0; i < int(many.pages.size()); i += 7)
        EXPECT_EQ(pageStreams(shared, i).mid(1), backdrop) << "page " << i + 1;
    EXPECT_TRUE(backdropsCompressed(shared));
    const QString text = pdfToText(shared);
    EXPECT_EQ(text.count(QStringLiteral("Quarterly office memo")), int(many.pages.size()));
    EXPECT_EQ(text.count(QStringLiteral("EDITED Quarterly office memo")), int(many.pages.size()));
    expectSoundFile(shared);
}

namespace {

// The pixels darker than mid grey of `picture` (at `scale` pixels a point)
// inside `area` (page points).
int darkPixelsIn(const QImage& picture, const QRectF& area, double scale)
{
    int dark = 0;
    for (int y = int(area.top() * scale); y < int(std::ceil(area.bottom() * scale)); ++y) {
        for (int x = int(area.left() * scale); x < int(std::ceil(area.right() * scale)); ++x) {
            if (picture.rect().contains(x, y) && qGray(picture.pixel(x, y)) < 128)
                ++dark;
        }
    }
    return dark;
}

}  // namespace

TEST_F(PDFExportMaskTest, UntouchedLinePrintedInsideAChangedOneStaysInSight)
{
    // ConTeXt sets a wide hat over "bcd": poppler reads the hat with "efg"
    // as one line whose place holds all of "bcd", read as a line of its own.
    const QByteArray source = test::readBinaryFile(QStringLiteral(ZELVANE_TEST_PDF_DIR "/context-math.pdf"));
    VectorDocument document = imported(source, QStringLiteral("math"));
    ASSERT_FALSE(document.pages.isEmpty());
    VectorPage& page = document.pages[0];
    QRectF word, changed;
    for (VectorElement& element : page.elements) {
        TextPayload* text = element.text();
        if (!text)
            continue;
        if (text->text == QStringLiteral("\U0001D44F\U0001D450\U0001D451"))
            word = element.frame.toQRectF();
        if (text->text == QStringLiteral("\u0302 \U0001D452\U0001D453\U0001D454")) {
            changed = element.frame.toQRectF();
            text->text.clear();
        }
    }
    ASSERT_FALSE(word.isNull());
    ASSERT_FALSE(changed.isNull());
    ASSERT_TRUE(changed.contains(word.center()));
    const double scale = 4;
    const auto original = PDFDocument::open(source);
    ASSERT_TRUE(original);
    QImage printed(qRound(page.width * scale), qRound(page.height * scale), QImage::Format_RGB32);
    printed.fill(Qt::white);
    QPainter(&printed).drawImage(0, 0, original->renderPage(0, scale));
    const int ink = darkPixelsIn(printed, word, scale);
    ASSERT_GT(ink, 100);

    // On the canvas, and in the file.
    EXPECT_GE(darkPixelsIn(test::exportedPicture(page, scale), word, scale), 0.9 * ink);
    const QByteArray pdf = PDFCodec::exportPDF(document);
    const auto reopened = PDFDocument::open(pdf);
    ASSERT_TRUE(reopened);
    QImage exported(printed.size(), QImage::Format_RGB32);
    exported.fill(Qt::white);
    QPainter(&exported).drawImage(0, 0, reopened->renderPage(0, scale));
    EXPECT_GE(darkPixelsIn(exported, word, scale), 0.9 * ink);
    // What "efg" drew beside the word is masked.
    const QRectF beside(word.right() + 3, word.top() + 3, changed.right() - word.right() - 4,
                        changed.bottom() - word.top() - 4);
    EXPECT_EQ(darkPixelsIn(exported, beside, scale), 0);
    EXPECT_EQ(darkPixelsIn(test::exportedPicture(page, scale), beside, scale), 0);
}
