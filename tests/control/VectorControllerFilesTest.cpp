#include "ControllerTestSupport.h"

#include "ControllerFileIO.h"
#include "control/remote/RemoteTestSupport.h"
#include "core/support/TestPDF.h"
#include "operations/VectorOperations.h"
#include "export/PDFExport.h"
#include "export/SVGExport.h"
#include "pdf/PDFDrawingDeadline.h"
#include "pdf/PDFImport.h"
#include "support/EventLoopStallProbe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QEventLoop>
#include <QImage>
#include <QScopeGuard>
#include <QTimer>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <sys/types.h>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

QByteArray threePagePDF()
{
    std::vector<TestPDFPage> pages;
    for (int i = 1; i <= 3; ++i) {
        TestPDFPage page;
        page.mediaBox = QRectF(0, 0, 300, 200);
        page.texts.push_back({QPointF(20, 150), 14, "Report page " + QByteArray::number(i)});
        page.texts.push_back({QPointF(20, 100), 12, "Status: draft"});
        pages.push_back(page);
    }
    return makeTestPDF(pages);
}

QByteArray onePagePDF()
{
    TestPDFPage page;
    page.mediaBox = QRectF(0, 0, 200, 100);
    page.texts.push_back({QPointF(10, 50), 12, "Hello"});
    return makeTestPDF({page});
}

const QByteArray kSVG = "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"300\">"
                        "<rect x=\"10\" y=\"10\" width=\"50\" height=\"40\" fill=\"#ff0000\"/></svg>";

}  // namespace

class VectorControllerFilesTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        if (IsSkipped())
            return;
        controller = makeController();
    }

    // Leaves a document with two pages, a text and an undo step behind, and
    // returns it so a test can check that a failure kept it.
    VectorDocument editSomething()
    {
        controller->addBlankPage(PageFormatPreset::letter);
        controller->addTextBlock(QStringLiteral("Kept"));
        return controller->document();
    }

    void expectUnchangedAfterFailure(const VectorDocument& before, const QSet<QUuid>& selection)
    {
        EXPECT_EQ(controller->document(), before);
        EXPECT_TRUE(controller->canUndo());
        EXPECT_EQ(controller->currentPageIndex(), 1);
        EXPECT_EQ(controller->selection(), selection);
    }

    std::unique_ptr<VectorController> controller;
};

// ---- Opening -----------------------------------------------------------------------------

TEST_F(VectorControllerFilesTest, OpeningAPDFReplacesTheDocumentAndClearsTheHistory)
{
    const QString path = scratchPath(QStringLiteral("report.pdf"));
    writeFile(path, threePagePDF());
    editSomething();
    controller->openFile(path);

    const VectorDocument& document = controller->document();
    EXPECT_EQ(document.sourceFormat, DocumentSourceFormat::pdf);
    ASSERT_EQ(document.pages.size(), 3);
    EXPECT_EQ(document.title, QStringLiteral("report"));
    ASSERT_TRUE(document.fileURL.has_value());
    EXPECT_EQ(document.fileURL->toLocalFile(), QFileInfo(path).absoluteFilePath());
    EXPECT_GT(document.pdfTextElementCount(), 0);
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Opened: report.pdf (3 pages, %1 elements)").arg(document.totalElementsCount()));
    EXPECT_FALSE(controller->canUndo());
    EXPECT_FALSE(controller->canRedo());
    EXPECT_EQ(controller->currentPageIndex(), 0);
    EXPECT_TRUE(controller->selection().isEmpty());
    EXPECT_FALSE(controller->lastError().has_value());
}

TEST_F(VectorControllerFilesTest, OneOpenedPageIsSingular)
{
    const QString path = scratchPath(QStringLiteral("memo.pdf"));
    writeFile(path, onePagePDF());
    controller->openFile(QUrl::fromLocalFile(path));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Opened: memo.pdf (1 page, %1 elements)")
                                               .arg(controller->document().totalElementsCount()));
    Localization::setCurrent(AppLanguage::fr);
    controller->openFile(path);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Ouvert : memo.pdf (1 page, %1 éléments)")
                                               .arg(controller->document().totalElementsCount()));
}

TEST_F(VectorControllerFilesTest, TheSignatureOrTheExtensionChoosesThePDFReader)
{
    const QString upper = scratchPath(QStringLiteral("scan.PDF"));
    writeFile(upper, onePagePDF());
    controller->openFile(upper);
    EXPECT_EQ(controller->document().sourceFormat, DocumentSourceFormat::pdf);

    const QString disguised = scratchPath(QStringLiteral("drawing.svg"));
    writeFile(disguised, onePagePDF());
    controller->openFile(disguised);
    EXPECT_EQ(controller->document().sourceFormat, DocumentSourceFormat::pdf);

    // An SVG named .pdf goes to the PDF reader, which refuses it.
    const QString misnamed = scratchPath(QStringLiteral("picture.pdf"));
    writeFile(misnamed, kSVG);
    try {
        controller->openFile(misnamed);
        ADD_FAILURE() << "an SVG file named .pdf opened";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.domain(), QStringLiteral("PDFCodec"));
        EXPECT_EQ(error.code(), 1);
    }
}

TEST_F(VectorControllerFilesTest, AShortFileGoesToTheSVGReader)
{
    const QString path = scratchPath(QStringLiteral("notes.txt"));
    writeFile(path, "%PDF");
    try {
        controller->openFile(path);
        ADD_FAILURE() << "a four-byte file opened";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.domain(), QStringLiteral("SVGCodec"));
    }
}

TEST_F(VectorControllerFilesTest, OpeningAnSVGFile)
{
    const QString path = scratchPath(QStringLiteral("plan.svg"));
    writeFile(path, kSVG);
    controller->openFile(path);
    EXPECT_EQ(controller->document().sourceFormat, DocumentSourceFormat::svg);
    EXPECT_EQ(controller->document().title, QStringLiteral("plan"));
    EXPECT_TRUE(controller->statusMessage().startsWith(QStringLiteral("Opened: plan.svg (1 page, ")));
}

TEST_F(VectorControllerFilesTest, AFailedOpenKeepsEverythingAndSaysWhy)
{
    const VectorDocument before = editSomething();
    const QSet<QUuid> selection = controller->selection();
    const QString path = scratchPath(QStringLiteral("broken.pdf"));
    writeFile(path, "%PDF-1.4 this is not really a PDF");
    EXPECT_THROW(controller->openFile(path), CodecError);
    expectUnchangedAfterFailure(before, selection);
    ASSERT_TRUE(controller->lastError().has_value());
    EXPECT_EQ(*controller->lastError(), QStringLiteral("Invalid or empty PDF file."));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Open failed: Invalid or empty PDF file."));

    Localization::setCurrent(AppLanguage::fr);
    EXPECT_THROW(controller->openFile(scratchPath(QStringLiteral("absent.svg"))), CodecError);
    expectUnchangedAfterFailure(before, selection);
    EXPECT_EQ(*controller->lastError(), QStringLiteral("Impossible de lire « absent.svg » : fichier introuvable."));
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Ouverture impossible : Impossible de lire « absent.svg » : fichier introuvable."));
}

// ---- Opening in the background ---------------------------------------------------------

namespace {

// Runs the event loop until the background open reports; its failure, if any.
std::optional<CodecError> waitForOpen(VectorController& controller, const QString& path)
{
    std::optional<std::optional<CodecError>> outcome;
    QEventLoop loop;
    controller.openFileInBackground(path, [&](const std::optional<CodecError>& failure) {
        outcome = failure;
        loop.quit();
    });
    EXPECT_TRUE(controller.isOpening());
    QTimer::singleShot(std::chrono::minutes(2), &loop, &QEventLoop::quit);
    if (!outcome)
        loop.exec();
    EXPECT_TRUE(outcome.has_value()) << "the open never ended";
    return outcome.value_or(std::nullopt);
}

}  // namespace

TEST_F(VectorControllerFilesTest, ABackgroundOpenKeepsTheEventLoopRunning)
{
    const QString path = scratchPath(QStringLiteral("manual.pdf"));
    writeFile(path, makeManualTestPDF(30));
    editSomething();

    // A timer on this thread: the longest gap between its ticks is the
    // longest the event loop stalled while the file opened. An open run on
    // this thread would stall it for the whole open; on a busy machine the
    // open and its short pauses (waiting for a lock whose holder waits for a
    // processor) both grow, so the bound grows with the open.
    zelvane::testing::EventLoopStallProbe probe;
    QElapsedTimer openTime;
    openTime.start();
    probe.start();
    const std::optional<CodecError> failure = waitForOpen(*controller, path);
    probe.stop();
    const qint64 openMs = openTime.elapsed();

    EXPECT_FALSE(failure.has_value());
    EXPECT_LT(probe.longestStallMs(), std::max<qint64>(100 * zelvane::testing::kSlowBuildFactor, openMs / 4))
        << "the event loop stalled during an open of " << openMs << " ms";
    EXPECT_GT(probe.ticks(), 3);
    const VectorDocument& document = controller->document();
    ASSERT_EQ(document.pages.size(), 30);
    EXPECT_EQ(document.title, QStringLiteral("manual"));
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Opened: manual.pdf (30 pages, %1 elements)").arg(document.totalElementsCount()));
    EXPECT_FALSE(controller->canUndo());
    EXPECT_FALSE(controller->isOpening());
}

TEST_F(VectorControllerFilesTest, ABackgroundOpenThatFailsKeepsTheDocument)
{
    const VectorDocument before = editSomething();
    const std::optional<CodecError> failure = waitForOpen(*controller, scratchPath(QStringLiteral("absent.pdf")));
    ASSERT_TRUE(failure.has_value());
    EXPECT_EQ(controller->document(), before);
    ASSERT_TRUE(controller->lastError().has_value());
    EXPECT_TRUE(controller->lastError()->contains(failure->message()));
    EXPECT_TRUE(controller->canUndo());
}

TEST_F(VectorControllerFilesTest, OfOverlappingOpensTheOneStartedLastStays)
{
    const QString large = scratchPath(QStringLiteral("large.pdf"));
    writeFile(large, makeManualTestPDF(12));
    const QString small = scratchPath(QStringLiteral("small.pdf"));
    writeFile(small, threePagePDF());
    controller->openFileInBackground(large);
    EXPECT_FALSE(waitForOpen(*controller, small).has_value());
    ASSERT_TRUE(remotetest::processEventsUntil([&] { return !controller->isOpening(); }));
    EXPECT_EQ(controller->document().title, QStringLiteral("small"));
    EXPECT_EQ(controller->document().pages.size(), 3);
}

TEST_F(VectorControllerFilesTest, AControllerGoneDuringAnOpenWaitsForItQuietly)
{
    const QString path = scratchPath(QStringLiteral("manual.pdf"));
    writeFile(path, makeManualTestPDF(8));
    bool reported = false;
    controller->openFileInBackground(path, [&](const std::optional<CodecError>&) { reported = true; });
    controller.reset();
    QCoreApplication::processEvents();
    EXPECT_FALSE(reported);
}

TEST_F(VectorControllerFilesTest, APipeIsRefusedWithoutWaiting)
{
    const QString path = scratchPath(QStringLiteral("pipe.pdf"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    // What opening a small file costs here and now.
    const QString small = scratchPath(QStringLiteral("memo.pdf"));
    writeFile(small, onePagePDF());
    QElapsedTimer timer;
    timer.start();
    controller->openFile(small);
    const qint64 smallOpen = std::max<qint64>(timer.elapsed(), 1);
    const VectorDocument before = editSomething();
    const QSet<QUuid> selection = controller->selection();
    timer.restart();
    try {
        controller->openFile(path);
        ADD_FAILURE() << "a pipe opened";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.domain(), QStringLiteral("Zelvane"));
        EXPECT_EQ(error.code(), int(ControllerErrorCode::notRegularFile));
        EXPECT_EQ(error.message(), QStringLiteral("\"pipe.pdf\" is not a regular file."));
    }
    EXPECT_LT(timer.elapsed(), smallOpen * 20) << "a small file opens in " << smallOpen << " ms";
    expectUnchangedAfterFailure(before, selection);
    EXPECT_EQ(controller->lastError(), QStringLiteral("\"pipe.pdf\" is not a regular file."));
}

TEST_F(VectorControllerFilesTest, DevicesAndFoldersAreRefused)
{
    for (const QString& path : {QStringLiteral("/dev/zero"), QStringLiteral("/dev/null"), scratchPath(QString())}) {
        try {
            controller->openFile(path);
            ADD_FAILURE() << path.toStdString() << " opened";
        } catch (const CodecError& error) {
            EXPECT_EQ(error.code(), int(ControllerErrorCode::notRegularFile)) << path.toStdString();
        }
    }
}

TEST_F(VectorControllerFilesTest, AFileAboveTheSizeCapIsRefusedUnread)
{
    const QString path = scratchPath(QStringLiteral("huge.pdf"));
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("%PDF-1.7\n");
        // Sparse: takes no room on disk.
        ASSERT_TRUE(file.resize(ControllerFileIO::kMaxReadBytes + 1));
    }
    try {
        controller->openFile(path);
        ADD_FAILURE() << "a file above the cap opened";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.code(), int(ControllerErrorCode::fileTooLarge));
        EXPECT_EQ(error.message(), QStringLiteral("\"huge.pdf\" is too large: at most 512 MB."));
    }
    EXPECT_EQ(controller->document().pages.size(), 1);
}

TEST_F(VectorControllerFilesTest, ReadingStopsAtTheCap)
{
    const QString path = scratchPath(QStringLiteral("small.bin"));
    writeFile(path, QByteArray(100, 'x'));
    EXPECT_EQ(ControllerFileIO::readRegularFile(path, 100).size(), 100);
    EXPECT_THROW(ControllerFileIO::readRegularFile(path, 99), CodecError);
}

TEST_F(VectorControllerFilesTest, OnlyLocalFilesOpen)
{
    EXPECT_THROW(controller->openFile(QUrl(QStringLiteral("https://example.com/a.pdf"))), CodecError);
    EXPECT_TRUE(controller->lastError().has_value());
}

// ---- Saving ------------------------------------------------------------------------------------

TEST_F(VectorControllerFilesTest, APDFSaveReadsBackAsTheSamePages)
{
    controller->addBlankPage(PageFormatPreset::a4Landscape);
    controller->addTextBlock(QStringLiteral("Signed off"));
    const qint64 revision = controller->document().revision;
    const QString path = scratchPath(QStringLiteral("out/copy.pdf"));
    controller->saveFile(path);

    EXPECT_TRUE(ControllerFileIO::looksLikePDF(readFile(path)));
    EXPECT_EQ(controller->document().sourceFormat, DocumentSourceFormat::pdf);
    ASSERT_TRUE(controller->document().fileURL.has_value());
    EXPECT_EQ(controller->document().fileURL->toLocalFile(), QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(controller->document().revision, revision);
    EXPECT_EQ(controller->history().undoStack().size(), 2);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Saved: copy.pdf (PDF)"));

    controller->openFile(path);
    ASSERT_EQ(controller->document().pages.size(), 2);
    EXPECT_NEAR(controller->document().pages[1].width, 841.89, 0.5);
    EXPECT_NEAR(controller->document().pages[1].height, 595.28, 0.5);
    bool found = false;
    for (const VectorElement& element : controller->document().pages[1].elements) {
        if (element.text() && element.text()->text.contains(QStringLiteral("Signed off")))
            found = true;
    }
    EXPECT_TRUE(found);
}

TEST_F(VectorControllerFilesTest, APDFSaveNamesThePagesWrittenAsPictures)
{
    // Text in a font without widths that no installed face stands for: its
    // glyphs cannot be placed, so a redacted page cannot be filtered.
    const QByteArray content = "BT /F1 20 Tf 20 100 Td (Confidential words) Tj ET";
    const QString source = scratchPath(QStringLiteral("mystery.pdf"));
    writeFile(source, makeRawTestPDF({
                          "<< /Type /Catalog /Pages 2 0 R >>",
                          "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                          "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >>"
                          " /Contents 4 0 R >>",
                          "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream",
                          "<< /Type /Font /Subtype /TrueType /BaseFont /MysteryFont /FirstChar 0.5 /Widths [600] >>",
                      }));
    controller->openFile(source);
    controller->perform(QStringLiteral("Redact"), [](VectorDocument& document) {
        document.pages[0].redactedPDFRects = {VectorRect(10, 70, 280, 40)};
    });
    const QString path = scratchPath(QStringLiteral("redacted.pdf"));
    controller->saveFile(path);
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Saved: redacted.pdf (PDF) \u2014 page 1 written as a picture: its masked text could not "
                             "be removed"));
    EXPECT_FALSE(readFile(path).contains("Confidential"));
}

TEST_F(VectorControllerFilesTest, ADrawingPastItsBoundIsGivenUpOnOpeningAndSavingAndTheStatusLineSaysSo)
{
    // The left half red, then a million specks, then the right half blue
    // and a line in a font without widths: poppler takes seconds to reach
    // the blue and the line.
    const QByteArray content = "1 0 0 rg 0 0 150 200 re f\n0 g\n" + QByteArray("299 199 .1 .1 re f\n").repeated(1000000)
                               + "0 0 1 rg 150 0 150 200 re f\n0 g BT /F1 20 Tf 20 100 Td (Confidential words) Tj ET\n"
                               + "BT /F2 12 Tf 20 40 Td (Kept words) Tj ET\n";
    const QByteArray packed = qCompress(content, 9).mid(4);
    const QString source = scratchPath(QStringLiteral("slow.pdf"));
    writeFile(source, makeRawTestPDF({
                          "<< /Type /Catalog /Pages 2 0 R >>",
                          "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                          "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R"
                          " /F2 6 0 R >> >> /Contents 4 0 R >>",
                          "<< /Length " + QByteArray::number(packed.size()) + " /Filter /FlateDecode >>\nstream\n" + packed
                              + "\nendstream",
                          "<< /Type /Font /Subtype /TrueType /BaseFont /MysteryFont /FirstChar 0.5 /Widths [600] >>",
                          "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>",
                      }));
    const int bound = pageDrawingBoundMs();
    setPageDrawingBoundMs(300);
    const auto restore = qScopeGuard([bound] { setPageDrawingBoundMs(bound); });

    // Opening, as the window and the API open: the page's text is read
    // whole, its drawing given up.
    ASSERT_FALSE(waitForOpen(*controller, source));
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Opened: slow.pdf (1 page, 1 elements) \u2014 drawing page 1 took too long and was stopped: "
                             "its lines are measured as far as it was drawn"))
        << controller->statusMessage().toStdString();
    ASSERT_EQ(controller->document().pages[0].elements.size(), 1);
    EXPECT_EQ(controller->document().pages[0].elements[0].text()->text, QStringLiteral("Kept words"));

    // A PNG shows the page as far as it was drawn.
    const QString png = scratchPath(QStringLiteral("slow.png"));
    controller->saveFile(png);
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Saved: slow.png (PNG) \u2014 drawing page 1 took too long and was stopped: it is written "
                             "as far as it was drawn"));
    const QImage image = QImage::fromData(readFile(png), "PNG");
    ASSERT_EQ(image.size(), QSize(600, 400));
    EXPECT_EQ(QColor(image.pixel(100, 200)), QColor(Qt::red));
    EXPECT_EQ(QColor(image.pixel(500, 200)), QColor(Qt::white));

    // So does a page written as a picture, and the note says both.
    controller->perform(QStringLiteral("Redact"), [](VectorDocument& document) {
        document.pages[0].redactedPDFRects = {VectorRect(10, 70, 280, 40)};
    });
    controller->saveFile(scratchPath(QStringLiteral("redacted.pdf")));
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Saved: redacted.pdf (PDF) \u2014 page 1 written as a picture: its masked text could not "
                             "be removed; drawing page 1 took too long and was stopped: it is written as far as it was "
                             "drawn"));

    // The file is read afresh for the next drawing, given up in turn.
    controller->saveFile(png);
    EXPECT_EQ(controller->statusMessage(),
              QStringLiteral("Saved: slow.png (PNG) \u2014 drawing page 1 took too long and was stopped: it is written "
                             "as far as it was drawn"));
    EXPECT_EQ(QColor(QImage::fromData(readFile(png), "PNG").pixel(100, 40)), QColor(Qt::red));
}

TEST_F(VectorControllerFilesTest, AnSVGSaveReadsBackAsTheSameDocument)
{
    controller->addBlankPage(PageFormatPreset::stage16x9);
    controller->addShape(VectorShapeType::ellipse);
    controller->setCurrentPageIndex(0);
    controller->addTextBlock(QStringLiteral("First page"));
    const QString path = scratchPath(QStringLiteral("drawing.svg"));
    controller->saveFile(QUrl::fromLocalFile(path));
    EXPECT_EQ(controller->document().sourceFormat, DocumentSourceFormat::svg);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Saved: drawing.svg (SVG)"));
    EXPECT_EQ(QString::fromUtf8(readFile(path)), SVGCodec::exportSVG(controller->document()));

    const VectorDocument saved = controller->document();
    controller->openFile(path);
    ASSERT_EQ(controller->document().pages.size(), 2);
    EXPECT_DOUBLE_EQ(controller->document().pages[1].width, 960);
    ASSERT_EQ(controller->document().pages[0].elements.size(), 1);
    EXPECT_EQ(controller->document().pages[0].elements[0].text()->text, QStringLiteral("First page"));
    ASSERT_EQ(controller->document().pages[1].elements.size(), 1);
    EXPECT_EQ(controller->document().pages[1].elements[0].id, saved.pages[1].elements[0].id);
}

TEST_F(VectorControllerFilesTest, AnSVGWrittenThenOpenedIsNamedAfterItsFile)
{
    ASSERT_EQ(controller->document().title, QStringLiteral("Untitled"));
    const QString path = scratchPath(QStringLiteral("Quarterly plan.svg"));
    controller->saveFile(path);
    controller->createNewDocument(PageFormatPreset::a4Portrait);
    controller->openFile(path);
    EXPECT_EQ(controller->document().title, QStringLiteral("Quarterly plan"));
}

TEST_F(VectorControllerFilesTest, APNGSaveIsTheCurrentPageAtTwicePointSize)
{
    controller->addBlankPage(PageFormatPreset::stage16x9);
    const VectorDocument before = controller->document();
    const QString path = scratchPath(QStringLiteral("shot.png"));
    controller->saveFile(path);
    const QImage image = QImage::fromData(readFile(path), "PNG");
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image.width(), 1920);
    EXPECT_EQ(image.height(), 1080);
    EXPECT_EQ(controller->document(), before);
    EXPECT_FALSE(controller->document().fileURL.has_value());
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Saved: shot.png (PNG)"));
}

TEST_F(VectorControllerFilesTest, APageTooLargeForAnImageFailsToSaveAsPNG)
{
    VectorDocument huge = controller->document();
    huge.pages[0].width = 20000;
    huge.pages[0].height = 20000;
    controller->setDocument(huge);
    const QString path = scratchPath(QStringLiteral("huge.png"));
    try {
        controller->saveFile(path);
        ADD_FAILURE() << "a 40000-pixel image was made";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.domain(), QStringLiteral("Zelvane"));
        EXPECT_EQ(error.code(), 10);
        EXPECT_EQ(error.message(), QStringLiteral("Failed to render PNG image."));
    }
    EXPECT_FALSE(QFileInfo::exists(path));
    EXPECT_EQ(controller->lastError(), QStringLiteral("Failed to render PNG image."));
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Save failed: Failed to render PNG image."));
    EXPECT_EQ(controller->document(), huge);
}

TEST_F(VectorControllerFilesTest, AnExplicitFormatWinsOverTheExtension)
{
    const QString path = scratchPath(QStringLiteral("out.svg"));
    controller->saveFile(path, ExportFormat::pdf);
    EXPECT_TRUE(ControllerFileIO::looksLikePDF(readFile(path)));
    EXPECT_EQ(controller->document().sourceFormat, DocumentSourceFormat::pdf);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Saved: out.svg (PDF)"));
}

TEST_F(VectorControllerFilesTest, AnUnknownExtensionWritesSVG)
{
    const QString path = scratchPath(QStringLiteral("photo.JPG"));
    controller->saveFile(path);
    EXPECT_TRUE(readFile(path).contains("<svg"));
    EXPECT_EQ(controller->document().sourceFormat, DocumentSourceFormat::svg);
}

TEST_F(VectorControllerFilesTest, SavingAPDFDocumentOverItsOwnFileKeepsItAPDF)
{
    const QString path = scratchPath(QStringLiteral("contract"));
    writeFile(path, onePagePDF());
    controller->openFile(path);
    controller->addTextBlock(QStringLiteral("Approved"));
    controller->saveFile(*controller->document().fileURL);
    EXPECT_TRUE(ControllerFileIO::looksLikePDF(readFile(path)));
    EXPECT_EQ(controller->document().sourceFormat, DocumentSourceFormat::pdf);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Saved: contract (PDF)"));

    // The same holds for a file whose name says otherwise, reached by another path.
    const QString odd = scratchPath(QStringLiteral("scan.svg"));
    writeFile(odd, onePagePDF());
    controller->openFile(odd);
    controller->saveFile(QDir(scratchPath(QString())).filePath(QStringLiteral("./scan.svg")));
    EXPECT_TRUE(ControllerFileIO::looksLikePDF(readFile(odd)));

    // Elsewhere, the extension decides again.
    const QString other = scratchPath(QStringLiteral("other"));
    controller->saveFile(other);
    EXPECT_TRUE(readFile(other).contains("<svg"));
}

TEST_F(VectorControllerFilesTest, SavingCreatesMissingFolders)
{
    const QString path = scratchPath(QStringLiteral("a/b/c/out.svg"));
    controller->saveFile(path);
    EXPECT_TRUE(QFileInfo(path).isFile());
}

TEST_F(VectorControllerFilesTest, AFailedSaveKeepsTheDocumentAndTheOldFile)
{
    const VectorDocument before = editSomething();
    const QSet<QUuid> selection = controller->selection();

    // The folder cannot be made: a file stands in its place.
    const QString blocker = scratchPath(QStringLiteral("blocker"));
    writeFile(blocker, "x");
    try {
        controller->saveFile(blocker + QStringLiteral("/out.pdf"));
        ADD_FAILURE() << "saved below a file";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.code(), int(ControllerErrorCode::folderNotCreated));
    }
    expectUnchangedAfterFailure(before, selection);
    ASSERT_TRUE(controller->lastError().has_value());
    EXPECT_TRUE(controller->statusMessage().startsWith(QStringLiteral("Save failed: Could not create the folder")));

    // The target is a folder: nothing can be written there.
    const QString folder = scratchPath(QStringLiteral("taken.svg"));
    QDir().mkpath(folder);
    try {
        controller->saveFile(folder);
        ADD_FAILURE() << "saved over a folder";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.code(), int(ControllerErrorCode::writeFailed));
    }
    EXPECT_TRUE(QFileInfo(folder).isDir());
    expectUnchangedAfterFailure(before, selection);

    // A later success clears the error.
    controller->saveFile(scratchPath(QStringLiteral("fine.svg")));
    EXPECT_FALSE(controller->lastError().has_value());
}

TEST_F(VectorControllerFilesTest, SaveFailuresAreReportedInFrench)
{
    Localization::setCurrent(AppLanguage::fr);
    const QString folder = scratchPath(QStringLiteral("dossier.pdf"));
    QDir().mkpath(folder);
    EXPECT_THROW(controller->saveFile(folder), CodecError);
    ASSERT_TRUE(controller->lastError().has_value());
    EXPECT_TRUE(controller->lastError()->startsWith(QStringLiteral("Impossible d'écrire « dossier.pdf »")));
    EXPECT_TRUE(controller->statusMessage().startsWith(QStringLiteral("Enregistrement impossible : ")));
}

TEST_F(VectorControllerFilesTest, AWriteGoesThroughATemporaryFile)
{
    const QString path = scratchPath(QStringLiteral("atomic.svg"));
    writeFile(path, "old");
    ControllerFileIO::writeFileAtomically(path, "new");
    EXPECT_EQ(readFile(path), QByteArray("new"));
    EXPECT_EQ(QDir(scratchPath(QString())).entryList(QDir::Files), QStringList{QStringLiteral("atomic.svg")});
}

TEST_F(VectorControllerFilesTest, AFolderThatVanishedIsReportedAsSuch)
{
    // Made by the save, then gone before the file could be written in it.
    const QString path = scratchPath(QStringLiteral("gone/plan.svg"));
    try {
        ControllerFileIO::writeFileAtomically(path, "new");
        FAIL() << "written into a folder that does not exist";
    } catch (const CodecError& error) {
        EXPECT_EQ(error.code(), int(ControllerErrorCode::writeFailed));
        EXPECT_EQ(error.message(), QStringLiteral("Could not write \"plan.svg\": its folder no longer exists."));
    }
    // A file that cannot be made in an existing folder says otherwise.
    ASSERT_TRUE(QDir().mkpath(scratchPath(QStringLiteral("here/plan.svg"))));
    try {
        ControllerFileIO::writeFileAtomically(scratchPath(QStringLiteral("here/plan.svg")), "new");
        FAIL() << "written over a folder";
    } catch (const CodecError& error) {
        EXPECT_FALSE(error.message().contains(QStringLiteral("no longer exists"))) << error.message().toStdString();
    }
}

namespace {

// A full disk of 64 KiB mounted for the test, when the test may mount one.
class FullDisk {
public:
    explicit FullDisk(const QString& folder) : m_folder(folder)
    {
        if (::geteuid() != 0)
            return;
        m_mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~FullDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_folder).constData(), MNT_DETACH);
    }
    bool mounted() const { return m_mounted; }
    // Fills what is left with one file.
    void fill() const
    {
        QFile filler(m_folder + QStringLiteral("/filler"));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
            return;
        const QByteArray block(512, 'x');
        while (filler.write(block) == block.size()) {
        }
    }

private:
    QString m_folder;
    bool m_mounted = false;
};

// Lowers the largest file this process may write for the life of the object.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        ::getrlimit(RLIMIT_FSIZE, &m_saved);
        m_handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_handler);
    }

private:
    rlimit m_saved{};
    void (*m_handler)(int) = nullptr;
};

}  // namespace

TEST_F(VectorControllerFilesTest, AFullDiskKeepsThePreviousFileAndFails)
{
    const QString folder = scratchPath(QStringLiteral("disk"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const FullDisk disk(folder);
    if (!disk.mounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString path = folder + QStringLiteral("/kept.svg");
    writeFile(path, "previous");
    disk.fill();
    // A small document: the whole write fits in any buffer.
    EXPECT_THROW(controller->saveFile(path), CodecError);
    EXPECT_EQ(readFile(path), QByteArray("previous"));
    ASSERT_TRUE(controller->lastError().has_value());
    EXPECT_TRUE(controller->lastError()->contains(QStringLiteral("not enough disk space")))
        << controller->lastError()->toStdString();
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden),
              (QStringList{QStringLiteral("filler"), QStringLiteral("kept.svg")}));
}

TEST_F(VectorControllerFilesTest, AFailedWriteKeepsThePreviousFileAndFails)
{
    const QString path = scratchPath(QStringLiteral("kept.svg"));
    writeFile(path, "previous");
    {
        const FileSizeLimit limit(64);
        EXPECT_THROW(ControllerFileIO::writeFileAtomically(path, QByteArray(4096, 'n')), CodecError);
        EXPECT_THROW(controller->saveFile(path), CodecError);
    }
    EXPECT_EQ(readFile(path), QByteArray("previous"));
    ASSERT_TRUE(controller->lastError().has_value());
    EXPECT_TRUE(controller->lastError()->contains(QStringLiteral("not enough disk space")));
    EXPECT_EQ(QDir(scratchPath(QString())).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("kept.svg")});
    // Without the limit the same save goes through.
    controller->saveFile(path);
    EXPECT_TRUE(readFile(path).contains("<svg"));
}

// ---- New documents -------------------------------------------------------------------------

TEST_F(VectorControllerFilesTest, ANewStageDocument)
{
    editSomething();
    controller->createNewDocument(PageFormatPreset::stage16x9);
    const VectorDocument& document = controller->document();
    ASSERT_EQ(document.pages.size(), 1);
    EXPECT_DOUBLE_EQ(document.pages[0].width, 960);
    EXPECT_DOUBLE_EQ(document.pages[0].height, 540);
    EXPECT_EQ(document.pages[0].title, QStringLiteral("Page 1"));
    EXPECT_EQ(document.title, QStringLiteral("Untitled"));
    EXPECT_EQ(document.revision, 1);
    EXPECT_EQ(document.sourceFormat, DocumentSourceFormat::svg);
    EXPECT_FALSE(document.fileURL.has_value());
    EXPECT_FALSE(controller->canUndo());
    EXPECT_EQ(controller->currentPageIndex(), 0);
    EXPECT_TRUE(controller->selection().isEmpty());
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("New 16:9 Régie document created"));

    Localization::setCurrent(AppLanguage::fr);
    controller->createNewDocument(PageFormatPreset::a4Landscape);
    EXPECT_EQ(controller->statusMessage(), QStringLiteral("Nouveau document A4 Paysage créé"));
    EXPECT_EQ(controller->document().title, QStringLiteral("Sans titre"));
}

TEST_F(VectorControllerFilesTest, ExportFormatsReadOnlyTheirExactNames)
{
    EXPECT_EQ(fromRawValue<ExportFormat>(u"pdf"), ExportFormat::pdf);
    EXPECT_EQ(fromRawValue<ExportFormat>(u"svg"), ExportFormat::svg);
    EXPECT_EQ(fromRawValue<ExportFormat>(u"png"), ExportFormat::png);
    EXPECT_FALSE(fromRawValue<ExportFormat>(u"PNG").has_value());
    EXPECT_FALSE(fromRawValue<ExportFormat>(u"jpeg").has_value());
}

TEST_F(VectorControllerFilesTest, EditsAreUnsavedUntilSavedAndUndoingBackIsNoChange)
{
    EXPECT_FALSE(controller->hasUnsavedChanges());
    controller->addTextBlock(QStringLiteral("draft"));
    EXPECT_TRUE(controller->hasUnsavedChanges());
    controller->undo();
    EXPECT_FALSE(controller->hasUnsavedChanges());
    controller->redo();
    EXPECT_TRUE(controller->hasUnsavedChanges());

    // A PNG export saves nothing of the document; SVG does.
    controller->saveFile(scratchPath(QStringLiteral("page.png")));
    EXPECT_TRUE(controller->hasUnsavedChanges());
    controller->saveFile(scratchPath(QStringLiteral("doc.svg")));
    EXPECT_FALSE(controller->hasUnsavedChanges());
    controller->setCurrentPageIndex(0);
    controller->setSelection({});
    EXPECT_FALSE(controller->hasUnsavedChanges());
    // Edited back to the saved content by hand, not by undo: no change either.
    const QString pageTitle = controller->document().pages[0].title;
    controller->setCurrentPageTitle(QStringLiteral("Renamed"));
    EXPECT_TRUE(controller->hasUnsavedChanges());
    controller->setCurrentPageTitle(pageTitle);
    EXPECT_FALSE(controller->hasUnsavedChanges());

    controller->addBlankPage(PageFormatPreset::a4Portrait);
    EXPECT_TRUE(controller->hasUnsavedChanges());
    controller->createNewDocument(PageFormatPreset::letter);
    EXPECT_FALSE(controller->hasUnsavedChanges());

    // An opened file starts unchanged.
    controller->addTextBlock(QStringLiteral("draft"));
    writeFile(scratchPath(QStringLiteral("one.pdf")), onePagePDF());
    controller->openFile(scratchPath(QStringLiteral("one.pdf")));
    EXPECT_FALSE(controller->hasUnsavedChanges());
}

TEST_F(VectorControllerFilesTest, OpeningAgainAndClosingWhileTheExportThreadsAreReadiedEndQuietly)
{
    const QString path = scratchPath(QStringLiteral("long.pdf"));
    writeFile(path, makeManualTestPDF(16));
    controller->openFile(path);
    // Long enough for its export to draw on several threads: they are readied.
    ASSERT_NE(PDFCodec::warmUpExportDrawing(controller->document()), nullptr);
    EXPECT_TRUE(controller->readiesExportDrawing());
    controller->openFile(path);
    controller->openFile(path);
    const QByteArray exported = PDFCodec::exportPDF(controller->document());
    EXPECT_EQ(PDFCodec::importPDF(exported, QStringLiteral("again"), std::nullopt).pages.size(),
              controller->document().pages.size());
    // A short document has nothing to be readied for.
    const QString shortPath = scratchPath(QStringLiteral("short.pdf"));
    writeFile(shortPath, makeManualTestPDF(1));
    controller->openFile(shortPath);
    EXPECT_FALSE(controller->readiesExportDrawing());
    controller.reset();
}

TEST_F(VectorControllerFilesTest, AControllerThatOnlyReadsWhatItOpensReadiesNoExport)
{
    const QString path = scratchPath(QStringLiteral("long.pdf"));
    writeFile(path, makeManualTestPDF(16));
    controller->setReadiesExportOnOpen(false);
    controller->openFile(path);
    EXPECT_EQ(controller->document().pages.size(), 16);
    EXPECT_FALSE(controller->readiesExportDrawing());
    // Turned back on, the next document opened has them readied.
    controller->setReadiesExportOnOpen(true);
    controller->openFile(path);
    EXPECT_TRUE(controller->readiesExportDrawing());
    controller.reset();
}
