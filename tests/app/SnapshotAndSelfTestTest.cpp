#include "SelfTest.h"
#include "Snapshot.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "support/TestWidgetApplication.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

using namespace zelvane;

namespace {

class SnapshotTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(zelvane::testing::ensureTestWidgetApplication()); }
};

}  // namespace

TEST_F(SnapshotTest, RendersTheWindowAtTwiceItsSizeAndRefusesUnusableSizes)
{
    AppModel model(false, false);
    const std::optional<QByteArray> png = Snapshot::renderOffscreenPNG(model, QSize(960, 600));
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(QImage::fromData(*png, "PNG").size(), QSize(1920, 1200));

    EXPECT_FALSE(Snapshot::renderOffscreenPNG(model, QSize(0, 600)).has_value());
    EXPECT_FALSE(Snapshot::renderOffscreenPNG(model, QSize(600, -1)).has_value());
    // A huge size gives nothing instead of exhausting memory.
    EXPECT_FALSE(Snapshot::renderOffscreenPNG(model, QSize(100000, 100000)).has_value());
}

TEST_F(SnapshotTest, ARenderRequestedDuringAnotherIsRefused)
{
    AppModel model(false, false);
    std::optional<std::optional<QByteArray>> nested;
    // Runs inside the first render's spin of the main loop.
    QTimer::singleShot(50, [&] { nested = Snapshot::renderOffscreenPNG(model, QSize(400, 300)); });
    const std::optional<QByteArray> outer = Snapshot::renderOffscreenPNG(model, QSize(400, 300));
    EXPECT_TRUE(outer.has_value());
    ASSERT_TRUE(nested.has_value());
    EXPECT_FALSE(nested->has_value());
    EXPECT_FALSE(Snapshot::isRendering());
}

TEST_F(SnapshotTest, TheRemoteRenderWorksOnACopyOfTheDocument)
{
    VectorController live(false, false);
    live.addBlankPage(PageFormatPreset::a4Landscape);
    const qint64 before = live.contentRevision();
    // An edit queued during the spin lands on the live document only.
    QTimer::singleShot(50, &live, [&] { live.addBlankPage(PageFormatPreset::a4Portrait); });
    const std::optional<QByteArray> png = Snapshot::renderForRemoteControl(live, QStringLiteral("view=grid"));
    ASSERT_TRUE(png.has_value());
    EXPECT_EQ(QImage::fromData(*png, "PNG").size(), QSize(2760, 1640));
    EXPECT_EQ(live.document().pages.size(), 3);
    EXPECT_GT(qint64(live.contentRevision()), before);
}

TEST_F(SnapshotTest, SelfTestCountsAFailedSnapshotAndAThrowingPreparation)
{
    SelfTest::Dependencies failing = SelfTest::defaultDependencies();
    failing.windowSnapshot = [](AppModel&, QSize) { return std::optional<QByteArray>(); };
    const HeadlessOutcome snapshotFails = SelfTest::run(failing);
    EXPECT_EQ(snapshotFails.status, 1);
    EXPECT_EQ(snapshotFails.standardError, "=== FAILED (1): Offscreen window PNG snapshot (> 15 KB) ===\n");
    EXPECT_EQ(snapshotFails.standardOutput.count("  [OK] "), 16);

    SelfTest::Dependencies throwing = SelfTest::defaultDependencies();
    throwing.samplePDF = []() -> QByteArray { throw std::runtime_error("no sample"); };
    throwing.windowSnapshot = [](AppModel&, QSize) -> std::optional<QByteArray> { throw 42; };
    const HeadlessOutcome outcome = SelfTest::run(throwing);
    EXPECT_EQ(outcome.status, 1);
    // The sample's two checks fail, the text count is not printed, the rest go on.
    EXPECT_FALSE(outcome.standardOutput.contains("Extract editable PDF text lines"));
    EXPECT_EQ(outcome.standardOutput.count("  [OK] "), 13);
    EXPECT_TRUE(outcome.standardError.startsWith("=== FAILED (3): Generate sample multi-page vector PDF in memory, "
                                                 "Import 2-page PDF document, Offscreen window PNG snapshot"));
}

TEST_F(SnapshotTest, WritingExpandsTheHomeFolderAndMakesFolders)
{
    const QByteArray png = "\x89PNG fake";
    QTemporaryDir temporary;
    const QByteArray previousHome = qgetenv("HOME");
    qputenv("HOME", temporary.path().toUtf8());
    const QString home = QDir::homePath();
    const QString relative = QStringLiteral("~/.zelvane-snapshot-test/a/b.png");
    const HeadlessOutcome written = Snapshot::writeSnapshot(png, relative);
    const QString expanded = home + QStringLiteral("/.zelvane-snapshot-test/a/b.png");
    EXPECT_EQ(written.status, 0) << written.standardError.constData();
    EXPECT_EQ(written.standardOutput, "Snapshot written to " + expanded.toUtf8() + " (9 bytes)\n");
    EXPECT_EQ(QFileInfo(expanded).size(), 9);
    qputenv("HOME", previousHome);
}
