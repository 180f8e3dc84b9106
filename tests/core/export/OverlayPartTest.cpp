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

// Adds nothing to a reading.
void nothingMore(QPDF&, const std::vector<QPDFPageObjectHelper>&, const OverlayPart&) {}

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

    readOverlayPartAhead(part, nothingMore);
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
    std::unique_ptr<QPDF> taken = takeOverlayPartReading(part, pages, nothingMore);
    EXPECT_EQ(taken.get(), readAhead);
    EXPECT_EQ(pages.size(), 2u);
    EXPECT_FALSE(part.read);
    EXPECT_TRUE(part.readPages.empty());
    std::unique_ptr<QPDF> again = takeOverlayPartReading(part, pages, nothingMore);
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
        EXPECT_NO_THROW(readOverlayPartAhead(part, nothingMore));
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
            takeOverlayPartReading(part, pages, nothingMore);
            ADD_FAILURE() << "read: " << bytes.toStdString();
        } catch (const std::exception& error) {
            EXPECT_EQ(std::string(error.what()), direct);
        }
    }
}

TEST_F(OverlayPartTest, WhatIsAddedToAReadingIsAddedOnceToEachFreshReadingAndCompressed)
{
    // A new stream on the first page of every fresh reading, and how many
    // readings it was added to.
    int added = 0;
    const OverlayPartCompletion mark = [&](QPDF& pdf, const std::vector<QPDFPageObjectHelper>& pages,
                                           const OverlayPart&) {
        ++added;
        QPDFPageObjectHelper first = pages.front();
        first.getObjectHandle().replaceKey("/ZelvaneMark", QPDFObjectHandle::newStream(&pdf, "mark"));
    };
    const auto markOf = [](const std::vector<QPDFPageObjectHelper>& pages) {
        QPDFPageObjectHelper first = pages.front();
        QPDFObjectHandle marked = first.getObjectHandle().getKey("/ZelvaneMark");
        return marked.isStream() ? marked : QPDFObjectHandle::newNull();
    };

    OverlayPart part = drawnPart();
    readOverlayPartAhead(part, mark);
    ASSERT_TRUE(part.read);
    EXPECT_EQ(added, 1);
    std::vector<QPDFPageObjectHelper> pages;
    std::unique_ptr<QPDF> ahead = takeOverlayPartReading(part, pages, mark);
    EXPECT_EQ(added, 1);  // not added a second time
    QPDFObjectHandle aheadMark = markOf(pages);
    ASSERT_TRUE(aheadMark.isStream());
    EXPECT_TRUE(aheadMark.getDict().getKey("/Filter").isNameAndEquals("/FlateDecode"));
    EXPECT_EQ(aheadMark.getStreamData(qpdf_dl_generalized)->getSize(), 4u);

    // Read again at copy time: added there, left to the writer to compress.
    std::unique_ptr<QPDF> again = takeOverlayPartReading(part, pages, mark);
    EXPECT_EQ(added, 2);
    QPDFObjectHandle againMark = markOf(pages);
    ASSERT_TRUE(againMark.isStream());
    EXPECT_EQ(againMark.getStreamData(qpdf_dl_generalized)->getSize(), 4u);

    // What the addition throws leaves the part unread, and is thrown at copy time.
    const OverlayPartCompletion failing = [](QPDF&, const std::vector<QPDFPageObjectHelper>&, const OverlayPart&) {
        throw std::runtime_error("no text");
    };
    OverlayPart other = drawnPart();
    EXPECT_NO_THROW(readOverlayPartAhead(other, failing));
    EXPECT_FALSE(other.read);
    EXPECT_THROW(takeOverlayPartReading(other, pages, failing), std::runtime_error);
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
