// Edited lines the PDF export writes as PDF text of its own: they look as
// Qt's PDF writer draws them, readers find their words, and what is drawn
// after them stays on top.

#include "core/fonts/TestFonts.h"
#include "core/support/FontTestPDF.h"
#include "core/support/PDFText.h"
#include "core/support/PagePictures.h"
#include "core/support/TestPDF.h"
#include "export/PDFExport.h"
#include "fonts/PDFEmbeddedFontRegistry.h"
#include "operations/VectorOperations.h"
#include "pdf/PDFDocument.h"
#include "pdf/PDFImport.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPainter>

#include <thread>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

constexpr double kScale = 3;

QImage pictureOf(const QByteArray& pdf, const QSize& size)
{
    QImage flat(size, QImage::Format_RGB32);
    flat.fill(Qt::white);
    if (const auto document = PDFDocument::open(pdf))
        QPainter(&flat).drawImage(0, 0, document->renderPage(0, kScale));
    return flat;
}

// How the fonts of the first page are embedded: compact font programs (what
// the export writes itself) and TrueType programs (what Qt's writer embeds).
struct EmbeddedFonts {
    int compact = 0;
    int trueType = 0;
};

EmbeddedFonts fontsOfPage(const QByteArray& pdf, size_t index)
{
    QPDF read;
    read.setSuppressWarnings(true);
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    EmbeddedFonts found;
    QPDFPageObjectHelper page = QPDFPageDocumentHelper(read).getAllPages().at(index);
    std::function<void(QPDFObjectHandle, int)> walk = [&](QPDFObjectHandle resources, int depth) {
        if (!resources.isDictionary() || depth > 4)
            return;
        if (QPDFObjectHandle fonts = resources.getKey("/Font"); fonts.isDictionary()) {
            for (const std::string& key : fonts.getKeys()) {
                QPDFObjectHandle font = fonts.getKey(key);
                QPDFObjectHandle descriptor = font.getKey("/FontDescriptor");
                if (QPDFObjectHandle descendants = font.getKey("/DescendantFonts"); descendants.isArray())
                    descriptor = descendants.getArrayItem(0).getKey("/FontDescriptor");
                if (!descriptor.isDictionary())
                    continue;
                if (descriptor.getKey("/FontFile3").isStream()
                    && descriptor.getKey("/FontFile3").getDict().getKey("/Subtype").isNameAndEquals("/Type1C"))
                    ++found.compact;
                if (descriptor.getKey("/FontFile2").isStream())
                    ++found.trueType;
            }
        }
        if (QPDFObjectHandle forms = resources.getKey("/XObject"); forms.isDictionary()) {
            for (const std::string& key : forms.getKeys())
                walk(forms.getKey(key).getDict().getKey("/Resources"), depth + 1);
        }
    };
    walk(page.getAttribute("/Resources", false), 0);
    return found;
}

EmbeddedFonts fontsOfFirstPage(const QByteArray& pdf)
{
    return fontsOfPage(pdf, 0);
}

// A table of a TrueType font, by its tag.
QByteArray tableOf(const QByteArray& font, const QByteArray& tag)
{
    const auto number = [&](qsizetype at, int bytes) {
        quint32 v = 0;
        for (int k = 0; k < bytes; ++k)
            v = (v << 8) | quint8(font[at + k]);
        return v;
    };
    for (quint32 i = 0; i < number(4, 2); ++i) {
        const qsizetype record = 12 + 16 * qsizetype(i);
        if (font.mid(record, 4) == tag)
            return font.mid(number(record + 8, 4), number(record + 12, 4));
    }
    return {};
}

// The first page's content streams, decoded, one after the other.
QByteArray contentOfFirstPage(const QByteArray& pdf)
{
    QPDF read;
    read.setSuppressWarnings(true);
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    QByteArray content;
    for (QPDFObjectHandle stream : QPDFPageDocumentHelper(read).getAllPages().front().getPageContents()) {
        const std::shared_ptr<Buffer> data = stream.getStreamData();
        content += QByteArray(reinterpret_cast<const char*>(data->getBuffer()), qsizetype(data->getSize()));
    }
    return content;
}

// The manual's first page with every line changed; one of them accented and
// beyond Latin-1.
VectorDocument editedManual(const QString& special)
{
    VectorDocument document = PDFCodec::importPDF(test::makeManualTestPDF(1), QStringLiteral("manual"), std::nullopt);
    bool first = true;
    for (VectorElement& element : document.pages.front().elements) {
        if (TextPayload* text = element.text(); text && text->isPDFExtracted) {
            text->text = first ? special : QStringLiteral("EDITED ") + text->text;
            first = false;
        }
    }
    return document;
}

class PDFExportTextTest : public test::FontTestBase {};

}  // namespace

TEST_F(PDFExportTextTest, EditedLinesLookAsQtDrawsThemAndReadersFindTheirWords)
{
    const QString special = QStringLiteral("Élève à Noël, déjà Ωμέγα Łódź");
    for (const bool turned : {false, true}) {
        VectorDocument document = editedManual(special);
        if (turned)
            VectorOperations::rotatePage(document, 0, true);
        const VectorPage& page = document.pages.front();
        const QByteArray exported = PDFCodec::exportPDF(document);

        // Every line written by the export itself, none left to Qt's writer.
        const EmbeddedFonts fonts = fontsOfFirstPage(exported);
        EXPECT_GE(fonts.compact, 3) << turned;  // serif, sans serif and monospace at least
        EXPECT_EQ(fonts.trueType, 0) << turned;

        const QSize size(qRound(page.width * kScale), qRound(page.height * kScale));
        // Lines not quite opaque are left to Qt's writer.
        VectorDocument translucent = document;
        for (VectorElement& element : translucent.pages.front().elements) {
            if (element.text() && element.hasModifiedPDFText())
                element.style.opacity = 0.99;
        }
        const QByteArray byQt = PDFCodec::exportPDF(translucent);
        EXPECT_EQ(fontsOfFirstPage(byQt).compact, 0);
        EXPECT_GE(fontsOfFirstPage(byQt).trueType, 3);

        const QImage ours = pictureOf(exported, size);
        const QImage qt = pictureOf(byQt, size);
        int lines = 0;
        for (const VectorElement& element : page.elements) {
            if (!element.text() || !element.hasModifiedPDFText())
                continue;
            ++lines;
            const QRectF area =
                element.frame.toQRectF().adjusted(-2, -2, 2, 2) & QRectF(0, 0, page.width - 1, page.height - 1);
            EXPECT_LT(test::strongShare(ours, qt, area, kScale), 0.01) << turned << " " << element.text()->text.toStdString();
        }
        EXPECT_GT(lines, 20);

        const QString text = test::pdfToText(exported);
        EXPECT_TRUE(text.contains(special)) << turned << " " << text.toStdString();
        EXPECT_GE(text.count(QStringLiteral("EDITED ")), lines - 1) << turned;
    }
}

TEST_F(PDFExportTextTest, WhatIsDrawnAfterALineStaysOnTopOfIt)
{
    VectorDocument document = editedManual(QStringLiteral("EDITED first line"));
    VectorPage& page = document.pages.front();
    // A red box over the first edited line, drawn after it.
    const VectorElement* line = nullptr;
    for (const VectorElement& element : page.elements) {
        if (element.text() && element.hasModifiedPDFText()) {
            line = &element;
            break;
        }
    }
    ASSERT_TRUE(line);
    const QRectF over = line->frame.toQRectF();
    VectorElement box;
    box.id = QUuid::createUuid();
    box.kind = ShapePayload::make(VectorShapeType::rectangle, 0, false, false);
    box.frame = VectorRect(over.x(), over.y(), 60, over.height());
    box.style = VectorStyle(std::nullopt, QStringLiteral("#FF0000"), 0, 1, false);
    page.elements.append(box);

    const QByteArray exported = PDFCodec::exportPDF(document);
    const QImage ours = pictureOf(exported, QSize(qRound(page.width * kScale), qRound(page.height * kScale)));
    const QRect inside = QRectF(over.x() * kScale + 2, over.y() * kScale + 2, 60 * kScale - 4, over.height() * kScale - 4)
                             .toAlignedRect();
    int red = 0;
    for (int y = inside.top(); y <= inside.bottom(); ++y) {
        for (int x = inside.left(); x <= inside.right(); ++x)
            red += qRed(ours.pixel(x, y)) > 200 && qGreen(ours.pixel(x, y)) < 60 ? 1 : 0;
    }
    EXPECT_EQ(red, inside.width() * inside.height());
    // The other lines stay the export's own text.
    EXPECT_GE(fontsOfFirstPage(exported).compact, 3);
    EXPECT_TRUE(test::pdfToText(exported).contains(QStringLiteral("EDITED first line")));
}

TEST_F(PDFExportTextTest, ABoldLineIsDrawnOnceWhenItsFaceSaysItIsBold)
{
    // A PDF's embedded program whose selection flags say bold while its
    // weight class says regular, asked for bold: Qt goes by the flags and
    // draws it once, as it is (a face it thought lighter it would draw
    // twice, the second time for the eye alone).
    const QString line = QStringLiteral("Bold asked of a bold face");
    test::TestFontOptions options;
    options.family = QStringLiteral("Zelvane Lone");
    options.postScriptName = QStringLiteral("ZelvaneLone-Bold");
    options.characters = line;
    QByteArray program = test::makeTestFont(test::liberationSansRegular(), options);
    QByteArray os2 = tableOf(program, "OS/2");
    ASSERT_GE(os2.size(), 64);
    os2[63] = char((quint8(os2[63]) | 0x20) & ~0x40);
    program = test::rebuildFont(program, {{"OS/2", os2}});
    PDFEmbeddedFontRegistry::shared().registerFonts(
        test::makeFontTestPDF({{{{"ABCDEF+ZelvaneLone-Bold", "TrueType", program}}}}));
    ASSERT_TRUE(PDFEmbeddedFontRegistry::shared().hasRegisteredFont(QStringLiteral("ZelvaneLone-Bold"), std::nullopt));
    VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("page"), 400, 120, QStringLiteral("#FFFFFF"));
    VectorElement element = VectorOperations::makeTextElement(line, {30, 40}, 18, QStringLiteral("#000000"), true);
    element.text()->fontFamily = options.family;
    element.text()->postScriptFontName = options.postScriptName;
    page.elements = {element};
    const auto documentOf = [](const VectorPage& only) {
        return VectorDocument::make(QUuid::createUuid(), QStringLiteral("bold"), DocumentSourceFormat::pdf,
                                    std::nullopt, {only}, 1);
    };
    const QByteArray exported = PDFCodec::exportPDF(documentOf(page));
    element.style.opacity = 0.99;  // left to Qt's writer
    page.elements = {element};
    const QByteArray byQt = PDFCodec::exportPDF(documentOf(page));
    EXPECT_FALSE(contentOfFirstPage(byQt).contains("/ActualText"));
    EXPECT_FALSE(contentOfFirstPage(exported).contains("/ActualText"));
    EXPECT_EQ(fontsOfFirstPage(exported).trueType, 0);

    const QSize size(qRound(page.width * kScale), qRound(page.height * kScale));
    EXPECT_LT(test::strongShare(pictureOf(exported, size), pictureOf(byQt, size), QRectF(10, 10, 380, 100), kScale),
              0.01);
    EXPECT_EQ(test::pdfToText(exported).count(QStringLiteral("bold face")), 1);
}

TEST_F(PDFExportTextTest, AThreadWritesAFaceAlikeWhenItHasWrittenItBefore)
{
    const VectorDocument document = editedManual(QStringLiteral("Élève à Noël, déjà Ωμέγα Łódź"));
    const VectorPage& page = document.pages.front();
    const QSize size(qRound(page.width * kScale), qRound(page.height * kScale));
    const QRectF whole(0, 0, page.width - 1, page.height - 1);
    // On a thread of its own the first export meets every face for the
    // first time; the second finds what the first learnt of them.
    QByteArray first;
    QByteArray second;
    std::thread([&] {
        first = PDFCodec::exportPDF(document);
        second = PDFCodec::exportPDF(document);
    }).join();
    const QByteArray here = PDFCodec::exportPDF(document);
    ASSERT_FALSE(first.isEmpty());
    ASSERT_FALSE(second.isEmpty());
    const QImage firstPicture = pictureOf(first, size);
    const QString firstText = test::pdfToText(first);
    for (const QByteArray& later : {second, here}) {
        EXPECT_EQ(fontsOfFirstPage(later).trueType, 0);
        EXPECT_GE(fontsOfFirstPage(later).compact, 3);
        EXPECT_EQ(test::strongShare(pictureOf(later, size), firstPicture, whole, kScale), 0.0);
        EXPECT_EQ(test::pdfToText(later), firstText);
    }
}

TEST_F(PDFExportTextTest, PagesDrawnOnTheDrawingThreadsWriteTheirLinesAsOnePageAlone)
{
    // Enough edited lines for the pages to be shared out between threads,
    // each page read by the thread that drew it.
    const VectorDocument one = editedManual(QStringLiteral("Élève à Noël, déjà Ωμέγα Łódź"));
    VectorDocument many = one;
    for (int i = 1; i < 16; ++i)
        many.pages.append(one.pages.front());
    const QByteArray alone = PDFCodec::exportPDF(one);
    const QByteArray shared = PDFCodec::exportPDF(many);
    const VectorPage& page = one.pages.front();
    const QSize size(qRound(page.width * kScale), qRound(page.height * kScale));
    const QImage alonePicture = pictureOf(alone, size);
    const auto reopened = PDFDocument::open(shared);
    ASSERT_TRUE(reopened);
    ASSERT_EQ(reopened->pageCount(), 16);
    for (int i = 0; i < 16; ++i) {
        const EmbeddedFonts fonts = fontsOfPage(shared, size_t(i));
        EXPECT_GE(fonts.compact, 3) << i;
        EXPECT_EQ(fonts.trueType, 0) << i;
        QImage picture(size, QImage::Format_RGB32);
        picture.fill(Qt::white);
        QPainter(&picture).drawImage(0, 0, reopened->renderPage(i, kScale));
        EXPECT_EQ(test::strongShare(picture, alonePicture, QRectF(0, 0, page.width - 1, page.height - 1), kScale), 0.0)
            << i;
    }
    EXPECT_EQ(test::pdfToText(shared).count(QStringLiteral("EDITED ")),
              16 * test::pdfToText(alone).count(QStringLiteral("EDITED ")));
}

// A text block and a stamp placed by hand read back from the export as one
// element a line, on the page as it stood and once the page is turned with
// them: the stamp's title, set at a slant, is one line although the reader
// cuts it where the slant leaves the row.
TEST_F(PDFExportTextTest, TextAndAStampReadBackAsOneElementALine)
{
    test::TestPDFPage printed;
    printed.mediaBox = QRectF(0, 0, 595, 842);
    printed.texts.push_back({QPointF(72, 780), 12, "Agenda of the board meeting"});
    const QByteArray source = test::makeTestPDF({printed});
    for (const bool backdrop : {false, true}) {
        for (const int turns : {0, 1, 3}) {
            VectorDocument document =
                backdrop ? PDFCodec::importPDF(source, QStringLiteral("agenda"), std::nullopt)
                         : VectorDocument::make(QUuid::createUuid(), QStringLiteral("blank"), DocumentSourceFormat::svg,
                                                std::nullopt,
                                                {VectorPage::make(QUuid::createUuid(), QStringLiteral("Page"), 595, 842,
                                                                  QStringLiteral("#FFFFFF"))},
                                                1);
            VectorOperations::addElement(VectorOperations::makeTextElement(QStringLiteral("Signed off by the board"),
                                                                           {120, 300}, 15, QStringLiteral("#111317"),
                                                                           false),
                                         0, document);
            const VectorElement stamp = VectorOperations::makeStampElement(VectorStampKind::approved, {300, 520});
            const QString title = std::get<StampPayload>(stamp.kind).title;
            const QString date = std::get<StampPayload>(stamp.kind).subtitle;
            VectorOperations::addElement(stamp, 0, document);
            for (int k = 0; k < turns; ++k)
                VectorOperations::rotatePage(document, 0, true);

            const VectorDocument again =
                PDFCodec::importPDF(PDFCodec::exportPDF(document), QStringLiteral("again"), std::nullopt);
            ASSERT_EQ(again.pages.size(), 1);
            QStringList lines;
            for (const VectorElement& element : again.pages.front().elements) {
                if (element.text())
                    lines.append(element.text()->text);
            }
            QStringList expected{QStringLiteral("Signed off by the board"), title, date};
            if (backdrop)
                expected.append(QStringLiteral("Agenda of the board meeting"));
            lines.sort();
            expected.sort();
            EXPECT_EQ(lines, expected) << "backdrop " << backdrop << ", turns " << turns << ": "
                                       << lines.join(QStringLiteral(" | ")).toStdString();
            // Turned with the page, as they were.
            for (const VectorElement& element : again.pages.front().elements)
                EXPECT_EQ(normalizedQuarterTurn(qint64(element.rotationDegrees)), 90 * turns) << turns;
        }
    }
}
