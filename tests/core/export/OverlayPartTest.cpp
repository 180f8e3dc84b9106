// A part of the export's overlay read ahead by the thread that drew it: the
// same pages and stream contents as reading it at copy time, every stream
// compressed, and a part that does not read fails at copy time as it would
// have without the reading ahead.

#include "core/fonts/TestFonts.h"
#include "core/support/PDFText.h"
#include "export/OverlayPart.h"
#include "export/PDFExport.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>

#define POINTERHOLDER_TRANSITION 4
#include <qpdf/Buffer.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>

using namespace zelvane;
using namespace zelvane::PDFCodec;
namespace test = zelvane::testing;

namespace {

class OverlayPartTest : public test::FontTestBase {};

// Two pages of text drawn by Qt's writer, as the export draws a part.
OverlayPart drawnPart()
{
    OverlayPart part;
    QBuffer buffer(&part.pdf);
    EXPECT_TRUE(buffer.open(QIODevice::WriteOnly));
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(72);
        QPainter painter(&writer);
        painter.setFont(QFont(QStringLiteral("Liberation Sans"), 12));
        painter.drawText(QPointF(40, 60), QStringLiteral("First overlay page"));
        writer.newPage();
        painter.drawText(QPointF(40, 60), QStringLiteral("Second overlay page"));
    }
    part.pages = {3, 4};
    return part;
}

// Every stream of `pdf` by object, inflated.
std::map<QPDFObjGen, std::string> streamsOf(QPDF& pdf)
{
    std::map<QPDFObjGen, std::string> streams;
    for (QPDFObjectHandle object : pdf.getAllObjects()) {
        if (object.isStream()) {
            const std::shared_ptr<Buffer> data = object.getStreamData(qpdf_dl_generalized);
            streams[object.getObjGen()] = std::string(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        }
    }
    return streams;
}

}  // namespace

TEST_F(OverlayPartTest, APartReadAheadHasTheSamePagesAndStreamsAllCompressed)
{
    OverlayPart part = drawnPart();
    QPDF plain;
    plain.processMemoryFile("plain", part.pdf.constData(), size_t(part.pdf.size()));
    const std::map<QPDFObjGen, std::string> expected = streamsOf(plain);
    int unfiltered = 0;
    for (QPDFObjectHandle object : plain.getAllObjects()) {
        unfiltered += object.isStream() && !object.getDict().hasKey("/Filter") ? 1 : 0;
    }
    ASSERT_GT(unfiltered, 0);  // Qt leaves some streams (its font maps) to be compressed

    readOverlayPartAhead(part);
    ASSERT_TRUE(part.read);
    ASSERT_EQ(part.readPages.size(), 2u);
    EXPECT_EQ(streamsOf(*part.read), expected);
    for (QPDFObjectHandle object : part.read->getAllObjects()) {
        if (object.isStream() && !object.getDict().getKey("/Type").isNameAndEquals("/Metadata")) {
            EXPECT_TRUE(object.getDict().getKey("/Filter").isNameAndEquals("/FlateDecode"))
                << object.unparse();
        }
    }

    // Taken once; taken again (a second try of the export), read again.
    QPDF* const readAhead = part.read.get();
    std::vector<QPDFPageObjectHelper> pages;
    std::unique_ptr<QPDF> taken = takeOverlayPartReading(part, pages);
    EXPECT_EQ(taken.get(), readAhead);
    EXPECT_EQ(pages.size(), 2u);
    EXPECT_FALSE(part.read);
    EXPECT_TRUE(part.readPages.empty());
    std::unique_ptr<QPDF> again = takeOverlayPartReading(part, pages);
    ASSERT_TRUE(again);
    EXPECT_NE(again.get(), readAhead);
    EXPECT_EQ(pages.size(), 2u);
    EXPECT_EQ(streamsOf(*again), expected);
}

TEST_F(OverlayPartTest, APartThatDoesNotReadFailsWhenTakenAsItWouldHave)
{
    for (const QByteArray& bytes : {QByteArray(), QByteArray("%PDF-1.4 not a PDF at all"),
                                    drawnPart().pdf.left(40)}) {
        OverlayPart part;
        part.pdf = bytes;
        part.pages = {0};
        EXPECT_NO_THROW(readOverlayPartAhead(part));
        EXPECT_FALSE(part.read);

        std::string direct;
        try {
            QPDF pdf;
            pdf.setSuppressWarnings(true);
            pdf.processMemoryFile("overlay", bytes.constData(), size_t(bytes.size()));
            QPDFPageDocumentHelper(pdf).getAllPages();
        } catch (const std::exception& error) {
            direct = error.what();
        }
        ASSERT_FALSE(direct.empty());
        std::vector<QPDFPageObjectHelper> pages;
        try {
            takeOverlayPartReading(part, pages);
            ADD_FAILURE() << "read: " << bytes.toStdString();
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()), direct);
        }
    }
}

TEST_F(OverlayPartTest, AnExportDrawnOnManyThreadsWritesEveryStreamCompressed)
{
    // Enough lines for the pages to be shared out between threads.
    QList<VectorPage> pages;
    for (int p = 0; p < 24; ++p) {
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("P%1").arg(p + 1), 612, 792,
                                           QStringLiteral("#FFFFFF"));
        for (int i = 0; i < 40; ++i) {
            TextPayload text;
            text.text = QStringLiteral("Line %1 of page %2").arg(i + 1).arg(p + 1);
            text.fontFamily = QStringLiteral("Liberation Sans");
            text.fontSize = 8;
            VectorElement element;
            element.id = QUuid::createUuid();
            element.kind = text;
            element.frame = VectorRect(36, 20 + i * 12, 400, 10);
            element.style = VectorStyle(std::nullopt, QStringLiteral("#111317"), 0, 1, false);
            page.elements.append(element);
        }
        pages.append(page);
    }
    const VectorDocument document =
        VectorDocument::make(QUuid::createUuid(), QStringLiteral("Lines"), DocumentSourceFormat::pdf, std::nullopt,
                             pages, 1);
    const QByteArray pdf = exportPDF(document);
    QPDF read;
    read.processMemoryFile("export", pdf.constData(), size_t(pdf.size()));
    ASSERT_EQ(QPDFPageDocumentHelper(read).getAllPages().size(), 24u);
    int streams = 0;
    for (QPDFObjectHandle object : read.getAllObjects()) {
        if (object.isStream() && !object.getDict().getKey("/Type").isNameAndEquals("/Metadata")) {
            ++streams;
            EXPECT_TRUE(object.getDict().getKey("/Filter").isNameAndEquals("/FlateDecode")) << object.unparse();
            EXPECT_NO_THROW(object.getStreamData(qpdf_dl_generalized));
        }
    }
    EXPECT_GT(streams, 24);
    const QString text = test::pdfToText(pdf);
    EXPECT_TRUE(text.contains(QStringLiteral("Line 1 of page 1")));
    EXPECT_TRUE(text.contains(QStringLiteral("Line 40 of page 24")));
}
