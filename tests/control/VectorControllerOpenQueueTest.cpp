// Background opens: one import at a time, overtaken opens told so, and the
// question asked before an opened file replaces edits made meanwhile.

#include "ControllerTestSupport.h"

#include "ControllerFileIO.h"
#include "control/remote/RemoteTestSupport.h"
#include "core/support/TestPDF.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

using namespace zelvane;
using namespace zelvane::testing;

namespace {

class VectorControllerOpenQueueTest : public ControllerTest {
protected:
    void SetUp() override
    {
        ControllerTest::SetUp();
        controller = makeController();
    }

    QString writePDF(const QString& name, const QByteArray& data)
    {
        const QString path = scratchPath(name);
        writeFile(path, data);
        return path;
    }

    // The outcome of each open, in the order they are started.
    struct Outcome {
        bool ended = false;
        std::optional<CodecError> failure;
    };
    std::shared_ptr<Outcome> open(const QString& path,
                                  VectorController::OpenSource source = VectorController::OpenSource::remote)
    {
        auto outcome = std::make_shared<Outcome>();
        controller->openFileInBackground(
            path,
            [outcome](const std::optional<CodecError>& failure) {
                outcome->ended = true;
                outcome->failure = failure;
            },
            source);
        return outcome;
    }

    bool waitForOpens()
    {
        return remotetest::processEventsUntil([this] { return !controller->isOpening(); },
                                              std::chrono::minutes(3));
    }

    static int failureCode(const Outcome& outcome) { return outcome.failure ? outcome.failure->code() : 0; }

    std::unique_ptr<VectorController> controller;
};

// The process's peak resident size in kB since the last reset.
qint64 peakResidentKB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QRegularExpressionMatch match =
        QRegularExpression(QStringLiteral("VmHWM:\\s*(\\d+)")).match(QString::fromLatin1(status.readAll()));
    return match.hasMatch() ? match.captured(1).toLongLong() : -1;
}

// Makes the peak resident size start again from the current size.
bool resetPeakResident()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

// Two pages of text; the second also draws a form filling the whole page
// `drawings` times, which costs poppler a full-page fill every time (about
// a third of a millisecond at the import's resolution). Within the limits of
// work a page may ask for while drawings stay below about 120,000.
QByteArray slowSecondPage(int drawings)
{
    QByteArray draws = "BT /H 14 Tf 40 740 Td (Slow page top) Tj ET\n";
    for (int i = 0; i < drawings; ++i)
        draws += "/X Do\n";
    draws += "BT /H 14 Tf 40 40 Td (Slow page bottom) Tj ET\n";
    const auto stream = [](const QByteArray& data, const QByteArray& keys) {
        const QByteArray packed = qCompress(data, 9).mid(4);
        return "<< /Length " + QByteArray::number(packed.size()) + " /Filter /FlateDecode " + keys + " >>\nstream\n"
               + packed + "\nendstream";
    };
    return makeRawTestPDF(
        {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R 5 0 R] /Count 2 >>",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 4 0 R /Resources << /Font << /H 8 0 R >> >> >>",
         stream("BT /H 14 Tf 40 740 Td (Quick page) Tj ET", {}),
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents 6 0 R /Resources << /Font << /H 8 0 R >> "
         "/XObject << /X 7 0 R >> >> >>",
         stream(draws, {}),
         stream("0.9 0.9 1 rg 0 0 612 792 re f", "/Type /XObject /Subtype /Form /BBox [0 0 612 792]"),
         "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica /Encoding /WinAnsiEncoding >>"});
}

}  // namespace

TEST_F(VectorControllerOpenQueueTest, AnImportGivenUpInsideASlowPageEndsAtOnce)
{
    constexpr int kDrawings = 80000;
    const QString reference = writePDF(QStringLiteral("reference.pdf"), slowSecondPage(kDrawings / 40));
    const QString slow = writePDF(QStringLiteral("slow.pdf"), slowSecondPage(kDrawings));
    const QString small = writePDF(QStringLiteral("small.pdf"), makeFilledTestPDF(200, 100));
    // What opening the file with a fortieth of the slow page's drawings
    // costs here and now.
    QElapsedTimer timer;
    timer.start();
    const auto measured = open(reference);
    ASSERT_TRUE(waitForOpens());
    ASSERT_FALSE(measured->failure.has_value());
    const qint64 fortieth = std::max<qint64>(timer.elapsed(), 1);
    const auto slowPageUnderWay = [&] {
        // Its first page read, the second being drawn.
        return remotetest::processEventsUntil([&] { return controller->openProgress().has_value(); },
                                              std::chrono::minutes(3));
    };

    // Overtaken in the middle of the slow page: the next open is answered,
    // and the overtaken import has ended, long before that page is drawn.
    const auto overtaken = open(slow);
    ASSERT_TRUE(slowPageUnderWay());
    timer.restart();
    const auto next = open(small);
    ASSERT_TRUE(remotetest::processEventsUntil([&] { return next->ended; }, std::chrono::minutes(3)));
    const qint64 answered = timer.elapsed();
    EXPECT_FALSE(next->failure.has_value());
    EXPECT_EQ(controller->document().title, QStringLiteral("small"));
    EXPECT_EQ(failureCode(*overtaken), int(ControllerErrorCode::openSuperseded));
    EXPECT_LT(answered, fortieth * 8) << "a fortieth of the slow page opens in " << fortieth << " ms";
    EXPECT_TRUE(controller->waitForImportThreads(int(fortieth * 8)));

    // Cancelled for a quit in the middle of the slow page: its import ends.
    const auto cancelled = open(slow);
    ASSERT_TRUE(slowPageUnderWay());
    controller->cancelOpens();
    EXPECT_EQ(failureCode(*cancelled), int(ControllerErrorCode::openCancelled));
    EXPECT_TRUE(controller->waitForImportThreads(int(fortieth * 8)));
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(controller->document().title, QStringLiteral("small"));

    // The controller going in the middle of the slow page: its import ends
    // with it, long before that page is drawn.
    open(slow);
    ASSERT_TRUE(slowPageUnderWay());
    timer.restart();
    controller.reset();
    EXPECT_LT(timer.elapsed(), fortieth * 8) << "a fortieth of the slow page opens in " << fortieth << " ms";
}

TEST_F(VectorControllerOpenQueueTest, AnOvertakenOpenIsToldSoAndTheLastFileStays)
{
    const QString large = writePDF(QStringLiteral("large.pdf"), makeManualTestPDF(16));
    const QString middle = writePDF(QStringLiteral("middle.pdf"), makeManualTestPDF(4));
    const QString small = writePDF(QStringLiteral("small.pdf"), makeFilledTestPDF(200, 100));
    const auto first = open(large);
    const auto second = open(middle);
    const auto third = open(small);
    ASSERT_TRUE(controller->isOpening());
    ASSERT_TRUE(waitForOpens());

    for (const auto& overtaken : {first, second}) {
        ASSERT_TRUE(overtaken->ended);
        ASSERT_TRUE(overtaken->failure.has_value());
        EXPECT_EQ(overtaken->failure->domain(), QStringLiteral("Zelvane"));
        EXPECT_EQ(overtaken->failure->code(), int(ControllerErrorCode::openSuperseded));
        EXPECT_EQ(overtaken->failure->message(), QStringLiteral("superseded by a later open"));
    }
    ASSERT_TRUE(third->ended);
    EXPECT_FALSE(third->failure.has_value());
    EXPECT_EQ(controller->document().title, QStringLiteral("small"));
    EXPECT_EQ(controller->document().pages.size(), 1);
    // Being overtaken is no failure of the editor's.
    EXPECT_FALSE(controller->lastError().has_value());
}

TEST_F(VectorControllerOpenQueueTest, SixOpensAtOnceTakeTheMemoryOfOneImport)
{
    // Large enough that an import's memory stands out from the noise, small
    // enough to stay quick.
    const QString path = writePDF(QStringLiteral("manual.pdf"), makeManualTestPDF(120));
    ASSERT_TRUE(resetPeakResident()) << "no way to reset the peak resident size here";

    qint64 before = peakResidentKB();
    auto single = open(path);
    ASSERT_TRUE(waitForOpens());
    ASSERT_FALSE(single->failure.has_value());
    const qint64 oneImport = peakResidentKB() - before;

    ASSERT_TRUE(resetPeakResident());
    before = peakResidentKB();
    QList<std::shared_ptr<Outcome>> six;
    for (int i = 0; i < 6; ++i)
        six.append(open(path));
    ASSERT_TRUE(waitForOpens());
    const qint64 sixImports = peakResidentKB() - before;

    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(failureCode(*six[i]), int(ControllerErrorCode::openSuperseded));
    EXPECT_FALSE(six[5]->failure.has_value());
    EXPECT_EQ(controller->document().pages.size(), 120);
    // Side by side the six would take about six times one import's memory.
    EXPECT_LT(sixImports, oneImport * 2 + 16 * 1024) << "one import: " << oneImport << " kB";
}

TEST_F(VectorControllerOpenQueueTest, RemoteOpensAskOnlyAboutTheUsersOwnEditsMadeMeanwhile)
{
    const QString path = writePDF(QStringLiteral("manual.pdf"), makeManualTestPDF(12));
    int asked = 0;
    bool answer = false;
    controller->setReplaceQuestion([&] {
        ++asked;
        return answer;
    });

    // A remote edit during a remote open: replaced without a question.
    auto opened = open(path);
    {
        const VectorController::RemoteEditScope remote(*controller);
        controller->addTextBlock(QStringLiteral("remote"));
    }
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(opened->failure.has_value());
    EXPECT_EQ(controller->document().title, QStringLiteral("manual"));

    // The user's own edit: asked, and Cancel keeps it.
    controller->createNewDocument(PageFormatPreset::a4Portrait);
    opened = open(path);
    controller->addTextBlock(QStringLiteral("mine"));
    const VectorDocument edited = controller->document();
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(failureCode(*opened), int(ControllerErrorCode::openDeclined));
    EXPECT_FALSE(opened->failure->message().isEmpty());
    EXPECT_EQ(controller->document(), edited);
    EXPECT_TRUE(controller->canUndo());

    // Asked again and answered yes: the file replaces the document.
    answer = true;
    opened = open(path);
    controller->addTextBlock(QStringLiteral("mine again"));
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(asked, 2);
    EXPECT_FALSE(opened->failure.has_value());
    EXPECT_EQ(controller->document().title, QStringLiteral("manual"));
}

TEST_F(VectorControllerOpenQueueTest, WindowOpensAskAboutAnyEditMadeMeanwhileButNotAboutASavedOne)
{
    const QString path = writePDF(QStringLiteral("manual.pdf"), makeManualTestPDF(12));
    int asked = 0;
    controller->setReplaceQuestion([&] {
        ++asked;
        return false;
    });

    auto opened = open(path, VectorController::OpenSource::window);
    {
        const VectorController::RemoteEditScope remote(*controller);
        controller->addTextBlock(QStringLiteral("remote"));
    }
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(failureCode(*opened), int(ControllerErrorCode::openDeclined));
    EXPECT_EQ(controller->document().title, QStringLiteral("Untitled"));

    // Edits saved before the file arrives lose nothing: no question.
    opened = open(path, VectorController::OpenSource::window);
    controller->addTextBlock(QStringLiteral("saved"));
    controller->saveFile(scratchPath(QStringLiteral("kept.svg")));
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(opened->failure.has_value());
    EXPECT_EQ(controller->document().title, QStringLiteral("manual"));

    // No edit at all: no question either.
    opened = open(path, VectorController::OpenSource::window);
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(opened->failure.has_value());
}

TEST_F(VectorControllerOpenQueueTest, AnOpenStartedDuringTheReplaceQuestionKeepsTheOlderDocumentOut)
{
    const QString older = writePDF(QStringLiteral("older.pdf"), makeManualTestPDF(3));
    const QString newer = writePDF(QStringLiteral("newer.pdf"), makeFilledTestPDF(200, 100));
    QStringList shown;
    QObject::connect(controller.get(), &VectorController::documentChanged,
                     [&] { shown.append(controller->document().title); });
    std::shared_ptr<Outcome> second;
    int asked = 0;
    controller->setReplaceQuestion([&] {
        // While the user is asked, a newer open comes in; the user then
        // says yes to the older file.
        ++asked;
        second = open(newer, VectorController::OpenSource::window);
        return true;
    });

    const auto first = open(older, VectorController::OpenSource::window);
    controller->addTextBlock(QStringLiteral("made meanwhile"));
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(asked, 1);
    ASSERT_TRUE(first->ended);
    EXPECT_EQ(failureCode(*first), int(ControllerErrorCode::openSuperseded));
    EXPECT_EQ(first->failure->message(), QStringLiteral("superseded by a later open"));
    ASSERT_TRUE(second && second->ended);
    EXPECT_FALSE(second->failure.has_value());
    EXPECT_EQ(controller->document().title, QStringLiteral("newer"));
    EXPECT_FALSE(shown.contains(QStringLiteral("older")));
}

TEST_F(VectorControllerOpenQueueTest, AnOpenIsToldAtOnceWhenAQueuedOneOvertakesIt)
{
    const QString large = writePDF(QStringLiteral("large.pdf"), makeManualTestPDF(400));
    const QString small = writePDF(QStringLiteral("small.pdf"), makeFilledTestPDF(200, 100));
    const auto first = open(large);
    // Its import is under way.
    ASSERT_TRUE(remotetest::processEventsUntil([&] { return controller->openProgress().has_value(); }));
    const auto second = open(small);
    EXPECT_FALSE(first->ended) << "never inside the call that overtook it";
    // Told on the next turn of the event loop, without waiting for its
    // import to end.
    QCoreApplication::processEvents();
    ASSERT_TRUE(first->ended);
    EXPECT_EQ(failureCode(*first), int(ControllerErrorCode::openSuperseded));
    EXPECT_FALSE(second->ended);
    ASSERT_TRUE(waitForOpens());
    EXPECT_FALSE(second->failure.has_value());
    EXPECT_EQ(controller->document().title, QStringLiteral("small"));
}

TEST_F(VectorControllerOpenQueueTest, CancellingForQuitTellsEveryOpenAndStopsTheImport)
{
    const QString large = writePDF(QStringLiteral("large.pdf"), makeManualTestPDF(400));
    const QString small = writePDF(QStringLiteral("small.pdf"), makeFilledTestPDF(200, 100));
    const VectorDocument before = controller->document();
    const auto running = open(large);
    ASSERT_TRUE(remotetest::processEventsUntil([&] { return controller->openProgress().has_value(); }));
    const auto waiting = open(small);
    controller->cancelOpens();
    // Both told before the call returns, whatever the event loop does next:
    // the overtaken one that it was, the other that it was cancelled.
    ASSERT_TRUE(running->ended);
    EXPECT_EQ(failureCode(*running), int(ControllerErrorCode::openSuperseded));
    ASSERT_TRUE(waiting->ended);
    ASSERT_TRUE(waiting->failure.has_value());
    EXPECT_EQ(waiting->failure->code(), int(ControllerErrorCode::openCancelled));
    EXPECT_EQ(waiting->failure->message(), QStringLiteral("open cancelled: the editor is quitting"));
    // A running open alone is cancelled too.
    const auto alone = open(large);
    ASSERT_TRUE(remotetest::processEventsUntil([&] { return controller->openProgress().has_value(); }));
    controller->cancelOpens();
    ASSERT_TRUE(alone->ended);
    EXPECT_EQ(failureCode(*alone), int(ControllerErrorCode::openCancelled));
    // A caller tells a quit apart from an overtaken or a declined open.
    EXPECT_NE(failureCode(*alone), failureCode(*running));
    EXPECT_NE(failureCode(*alone), int(ControllerErrorCode::openDeclined));
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(controller->document(), before);
    EXPECT_FALSE(controller->lastError().has_value());
    EXPECT_FALSE(controller->openProgress().has_value());
}
