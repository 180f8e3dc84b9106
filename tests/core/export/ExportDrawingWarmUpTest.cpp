// The export's drawing threads made ready for a document's fonts: only for
// documents whose export draws on several threads, without changing what
// an export writes, also while they are being readied.

#include "core/fonts/TestFonts.h"
#include "core/support/PDFText.h"
#include "core/support/TestPDF.h"
#include "export/PDFExport.h"
#include "export/PageDrawingThreads.h"
#include "pdf/PDFImport.h"

#include <QElapsedTimer>
#include <QMap>
#include <QSet>

#include <condition_variable>
#include <future>
#include <mutex>
#include <vector>

#include <gtest/gtest.h>

using namespace zelvane;
namespace test = zelvane::testing;

namespace {

class ExportDrawingWarmUpTest : public test::FontTestBase {};

// `lines` lines of text per page, in three faces and two sizes.
VectorDocument linesDocument(int pages, int lines)
{
    QList<VectorPage> made;
    for (int p = 0; p < pages; ++p) {
        VectorPage page = VectorPage::make(QUuid::createUuid(), QStringLiteral("P%1").arg(p + 1), 612, 792,
                                           QStringLiteral("#FFFFFF"));
        for (int i = 0; i < lines; ++i) {
            TextPayload text;
            text.text = QStringLiteral("Ligne %1 de la page %2").arg(i + 1).arg(p + 1);
            text.fontFamily = i % 3 == 0 ? QStringLiteral("Times") : QStringLiteral("Helvetica");
            text.isBold = i % 3 == 1;
            text.fontSize = i % 2 == 0 ? 6 : 5;
            VectorElement element;
            element.id = QUuid::createUuid();
            element.kind = text;
            element.frame = VectorRect(36, 20 + i * 6.5, 400, 6);
            page.elements.append(element);
        }
        made.append(page);
    }
    return VectorDocument::make(QUuid::createUuid(), QStringLiteral("Lines"), DocumentSourceFormat::svg, std::nullopt,
                                made, 1);
}

TEST_F(ExportDrawingWarmUpTest, OnlyADocumentWhoseExportDrawsOnSeveralThreadsIsReadiedFor)
{
    EXPECT_EQ(PDFCodec::warmUpExportDrawing(linesDocument(2, 20)), nullptr);
    const auto warmUp = PDFCodec::warmUpExportDrawing(linesDocument(6, 100));
    ASSERT_NE(warmUp, nullptr);
    warmUp->wait();
    // Dropped at once, it leaves what no thread has started and returns.
    PDFCodec::warmUpExportDrawing(linesDocument(6, 100)).reset();
}

TEST_F(ExportDrawingWarmUpTest, ExportsWhileAndAfterTheThreadsAreReadiedWriteTheSameText)
{
    const VectorDocument document = linesDocument(6, 100);
    const QString cold = test::pdfToText(PDFCodec::exportPDF(document)).simplified();
    ASSERT_TRUE(cold.contains(QStringLiteral("Ligne 100 de la page 6")));

    // Started while the threads are being readied, then once they are.
    auto warmUp = PDFCodec::warmUpExportDrawing(document);
    ASSERT_NE(warmUp, nullptr);
    const QByteArray whileReadied = PDFCodec::exportPDF(document);
    warmUp->wait();
    const QByteArray readied = PDFCodec::exportPDF(document);
    EXPECT_EQ(test::pdfToText(whileReadied).simplified(), cold);
    EXPECT_EQ(test::pdfToText(readied).simplified(), cold);
    // Nothing of the readying's own drawing reaches an export.
    EXPECT_EQ(test::pdfToText(readied).simplified().count(QStringLiteral("Ligne 1 de la page 1 ")), 1);
}

// The fonts and sizes (as "family [bold] size") of the samples' lines, and
// the characters sampled in each.
QMap<QString, QSet<QChar>> sampledFonts(const VectorDocument& samples)
{
    QMap<QString, QSet<QChar>> fonts;
    for (const VectorPage& page : samples.pages) {
        for (const VectorElement& element : page.elements) {
            const TextPayload* text = element.text();
            if (!text)
                continue;
            const QString name = text->fontFamily + (text->isBold ? QStringLiteral(" bold ") : QStringLiteral(" "))
                                 + QString::number(text->fontSize);
            QSet<QChar>& characters = fonts[name];
            for (const QChar c : text->text)
                characters.insert(c);
        }
    }
    return fonts;
}

TEST_F(ExportDrawingWarmUpTest, ADocumentSetInManyFontsReadiesTheThreadsForThoseMostOfItsLinesUse)
{
    // Few fonts: each is sampled with every character set in it.
    VectorDocument few = linesDocument(6, 100);
    few.pages[5].elements[0].text()->text += QStringLiteral("\u00E9\u0416");
    const auto fewSamples = PDFCodec::exportFontSamples(few);
    ASSERT_TRUE(fewSamples.has_value());
    const QMap<QString, QSet<QChar>> fewFonts = sampledFonts(*fewSamples);
    EXPECT_EQ(fewFonts.size(), 6);  // Times, Helvetica and its bold, at 6 and 5 points
    EXPECT_TRUE(fewFonts.value(QStringLiteral("Times 6")).contains(QChar(0x00E9)));
    EXPECT_TRUE(fewFonts.value(QStringLiteral("Times 6")).contains(QChar(0x0416)));

    // A page of a table set in a hundred sizes, a line each, ahead of six
    // pages of text in a few: the threads are readied for the sizes most
    // lines use, with every character of theirs, and for as many of the
    // others (first met first) as the few fonts leave room for.
    VectorDocument many = linesDocument(6, 100);
    VectorPage table = many.pages.front();
    table.id = QUuid::createUuid();
    table.elements.clear();
    for (int i = 0; i < 100; ++i) {
        TextPayload text;
        text.text = QStringLiteral("Size %1").arg(i);
        text.fontFamily = QStringLiteral("Times");
        text.fontSize = 6.01 + i * 0.01;
        VectorElement element;
        element.id = QUuid::createUuid();
        element.kind = text;
        element.frame = VectorRect(36, 20 + i * 7, 400, 7);
        table.elements.append(element);
    }
    many.pages.prepend(table);
    many.pages[6].elements[0].text()->text += QStringLiteral("\u00E9");
    const auto manySamples = PDFCodec::exportFontSamples(many);
    ASSERT_TRUE(manySamples.has_value());
    const QMap<QString, QSet<QChar>> manyFonts = sampledFonts(*manySamples);
    EXPECT_EQ(manyFonts.size(), 24);
    for (const QString& font : fewFonts.keys())
        EXPECT_TRUE(manyFonts.contains(font)) << font.toStdString();
    EXPECT_TRUE(manyFonts.value(QStringLiteral("Times 6")).contains(QChar(0x00E9)));
    EXPECT_TRUE(manyFonts.contains(QStringLiteral("Times 6.01")));
    EXPECT_TRUE(manyFonts.contains(QStringLiteral("Times 6.18")));
    EXPECT_FALSE(manyFonts.contains(QStringLiteral("Times 6.19")));
    // Readied for them, the threads still export every line.
    auto warmUp = PDFCodec::warmUpExportDrawing(many);
    ASSERT_NE(warmUp, nullptr);
    warmUp->wait();
    const QString text = test::pdfToText(PDFCodec::exportPDF(many)).simplified();
    EXPECT_TRUE(text.contains(QStringLiteral("Size 99")));
    EXPECT_TRUE(text.contains(QStringLiteral("Ligne 100 de la page 6")));
}

// A manual of `pages` pages with every line of its text edited.
VectorDocument editedManual(int pages)
{
    VectorDocument document = PDFCodec::importPDF(test::makeManualTestPDF(pages), QStringLiteral("manual"),
                                                  std::nullopt);
    for (VectorPage& page : document.pages) {
        for (VectorElement& element : page.elements) {
            if (TextPayload* text = element.text(); text && text->isPDFExtracted)
                text->text = QStringLiteral("EDITED ") + text->text;
        }
    }
    return document;
}

TEST_F(ExportDrawingWarmUpTest, ExportsOverThePDFItKeepsOpenWriteTheSameText)
{
    // The threads readied also open the PDF the pages are drawn over: an
    // export while they do, while it is kept open and after it is let go
    // writes what one without them writes.
    const VectorDocument document = editedManual(12);
    const QString cold = test::pdfToText(PDFCodec::exportPDF(document)).simplified();
    ASSERT_GE(cold.count(QStringLiteral("EDITED ")), 500);

    auto warmUp = PDFCodec::warmUpExportDrawing(document);
    ASSERT_NE(warmUp, nullptr);
    const QByteArray whileReadied = PDFCodec::exportPDF(document);
    warmUp->wait();
    const QByteArray readied = PDFCodec::exportPDF(document);
    const QByteArray again = PDFCodec::exportPDF(document);
    warmUp.reset();
    const QByteArray letGo = PDFCodec::exportPDF(document);
    for (const QByteArray& pdf : {whileReadied, readied, again, letGo})
        EXPECT_EQ(test::pdfToText(pdf).simplified(), cold);
}

TEST_F(ExportDrawingWarmUpTest, DroppedWhileTheThreadsAreBusyItReturnsWithoutWaitingForThem)
{
    const VectorDocument overPDF = editedManual(12);
    PDFCodec::PageDrawingThreads* const threads = PDFCodec::PageDrawingThreads::shared();
    ASSERT_NE(threads, nullptr);
    std::mutex mutex;
    std::condition_variable changed;
    int holding = 0;
    bool released = false;
    std::vector<std::future<void>> held;
    for (int i = 0; i < threads->count(); ++i) {
        held.push_back(threads->run([&] {
            std::unique_lock<std::mutex> lock(mutex);
            ++holding;
            changed.notify_all();
            changed.wait(lock, [&] { return released; });
        }));
    }
    {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return holding == threads->count(); });
    }
    // Every thread is busy with other work (an export, say): closing the
    // document does not wait for it, nor for the opening of its PDF.
    auto warmUp = PDFCodec::warmUpExportDrawing(linesDocument(6, 100));
    ASSERT_NE(warmUp, nullptr);
    warmUp.reset();
    warmUp = PDFCodec::warmUpExportDrawing(overPDF);
    EXPECT_NE(warmUp, nullptr);
    warmUp.reset();
    {
        const std::lock_guard<std::mutex> lock(mutex);
        released = true;
    }
    changed.notify_all();
    for (std::future<void>& job : held)
        job.get();
    threads->run([] {}).get();
    EXPECT_TRUE(test::pdfToText(PDFCodec::exportPDF(overPDF)).contains(QStringLiteral("EDITED ")));
}

}  // namespace

TEST_F(ExportDrawingWarmUpTest, ReadyingTheThreadsForAHugeDocumentLeavesItsLinesToThem)
{
    // The caller (the window's thread, as a document lands) only tells
    // whether to ready the threads; gathering the samples reads every line
    // and is left to the threads. Against that gathering timed here.
    const VectorDocument huge = linesDocument(2000, 60);
    QElapsedTimer timer;
    timer.start();
    const std::optional<VectorDocument> samples = PDFCodec::exportFontSamples(huge);
    const qint64 gathering = timer.nsecsElapsed();
    ASSERT_TRUE(samples);
    timer.restart();
    auto warmUp = PDFCodec::warmUpExportDrawing(huge);
    const qint64 readying = timer.nsecsElapsed();
    ASSERT_NE(warmUp, nullptr);
    EXPECT_LT(readying * 20, gathering) << readying << " ns against " << gathering << " ns";
    warmUp->wait();
}
