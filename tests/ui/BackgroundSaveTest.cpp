#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "export/SVGExport.h"
#include "support/EventLoopStallProbe.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>

using namespace zelvane;

namespace {

// The window's saves: written on a worker while the window keeps running.
class BackgroundSaveTest : public zelvane::testing::WindowTest {
protected:
    // A document of `pages` pages, each with a text, saved once as `name`
    // so that Ctrl+S writes in place.
    QString makeSavedDocument(int pages, const QString& name)
    {
        VectorController& controller = model->controller();
        controller.addTextBlock(QStringLiteral("Quarterly figures, checked and signed"));
        VectorDocument document = controller.document();
        const VectorPage first = document.pages.first();
        document.pages.clear();
        for (int i = 0; i < pages; ++i) {
            VectorPage page = first;
            page.id = QUuid::createUuid();
            for (VectorElement& element : page.elements)
                element.id = QUuid::createUuid();
            document.pages.append(page);
        }
        controller.setDocument(document);
        const QString path = files.filePath(name);
        controller.saveFile(path);
        return path;
    }

    QByteArray read(const QString& path) const
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    QTemporaryDir files;
};

}  // namespace

TEST_F(BackgroundSaveTest, AnEditMadeDuringCtrlSStaysUnsavedAndTheWindowKeepsRunning)
{
    ASSERT_TRUE(files.isValid());
    const QString path = makeSavedDocument(800, QStringLiteral("Report.svg"));
    VectorController& controller = model->controller();
    // What writing the document out on this thread costs here and now: the
    // loop would be held that long.
    QElapsedTimer writing;
    writing.start();
    {
        QFile copy(files.filePath(QStringLiteral("Copy.svg")));
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
        copy.write(SVGCodec::exportSVGUtf8(controller.document()));
    }
    const qint64 inlineMs = writing.elapsed();
    controller.addTextBlock(QStringLiteral("Before the save"));
    ASSERT_TRUE(window->isWindowModified());

    // Edits come from the event loop while the file is being written.
    bool editedWhileSaving = false;
    QTimer::singleShot(0, &controller, [&] {
        editedWhileSaving = controller.isSaving();
        controller.addTextBlock(QStringLiteral("Typed during the save"));
    });
    zelvane::testing::EventLoopStallProbe probe;
    probe.start();
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    probe.stop();

    EXPECT_TRUE(editedWhileSaving);
    EXPECT_FALSE(controller.isSaving());
    EXPECT_FALSE(model->alert().has_value());
    const QByteArray written = read(path);
    EXPECT_TRUE(written.contains("Before the save"));
    EXPECT_FALSE(written.contains("Typed during the save"));
    // The title's mark and the quit question still see the later edit.
    EXPECT_TRUE(controller.hasUnsavedChanges());
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_EQ(model->flashMessage(), QStringLiteral("Saved to Report.svg"));
    // A busy machine slows that write as much as it stretches a stall.
    EXPECT_LT(probe.longestStallMs(), std::max<qint64>(300 * zelvane::testing::kSlowBuildFactor, inlineMs))
        << "written on this thread in " << inlineMs << " ms";
    std::printf("[ figures ] Ctrl+S of 800 pages: longest event-loop stall %lld ms over %d ticks\n",
                qint64(probe.longestStallMs()), probe.ticks());

    // Saving again records everything: nothing left unsaved.
    QTest::keyClick(window.get(), Qt::Key_S, Qt::ControlModifier);
    EXPECT_TRUE(read(path).contains("Typed during the save"));
    EXPECT_FALSE(controller.hasUnsavedChanges());
    EXPECT_FALSE(window->isWindowModified());
}

TEST_F(BackgroundSaveTest, ClosingTheWindowDuringAnExportWaitsForTheFileAndAsksAboutLaterEdits)
{
    ASSERT_TRUE(files.isValid());
    const QString path = makeSavedDocument(400, QStringLiteral("Report.svg"));
    VectorController& controller = model->controller();
    QStringList asked;
    model->setUnsavedChangesQuestion([&](const QString& title) {
        asked.append(title);
        return UnsavedChangesAnswer::discard;
    });

    // An export started remotely, then the window closed at once: the file
    // is finished first, and the question is asked only about what it
    // does not hold.
    const QString exported = files.filePath(QStringLiteral("Export.svg"));
    controller.saveFileInBackground(exported);
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(controller.isSaving());
    EXPECT_TRUE(read(exported).trimmed().endsWith("</svg>"));
    EXPECT_TRUE(asked.isEmpty());

    // With an edit made after the export began, the question comes.
    window->show();
    controller.addTextBlock(QStringLiteral("Kept"));
    controller.saveFileInBackground(exported);
    controller.addTextBlock(QStringLiteral("Made during the export"));
    EXPECT_TRUE(window->close());
    EXPECT_EQ(asked.size(), 1);
    EXPECT_TRUE(read(exported).contains("Kept"));
    EXPECT_FALSE(read(exported).contains("Made during the export"));
    EXPECT_EQ(read(path).count("Quarterly figures"), 400);
}

TEST_F(BackgroundSaveTest, AFailedWindowSaveStillRaisesTheSaveErrorAlert)
{
    ASSERT_TRUE(files.isValid());
    const QString blocker = files.filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    model->controller().addTextBlock(QStringLiteral("Draft"));
    EXPECT_FALSE(model->saveDocument(QUrl::fromLocalFile(blocker + QStringLiteral("/out.svg"))));
    ASSERT_TRUE(model->alert().has_value());
    EXPECT_EQ(model->alert()->title, QStringLiteral("Save Error"));
    EXPECT_TRUE(model->controller().statusMessage().startsWith(QStringLiteral("Save failed: ")));
    EXPECT_TRUE(model->controller().hasUnsavedChanges());
    EXPECT_TRUE(window->isWindowModified());
}
