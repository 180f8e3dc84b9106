#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "core/support/TestPDF.h"

#include <QDir>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

using namespace zelvane;

namespace {

class OpenDocumentTest : public zelvane::testing::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(files.isValid());
    }

    QString write(const QString& name, const QByteArray& data) const
    {
        const QString path = files.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path;
    }

    QString pdf(const QString& name) const
    {
        return write(name, zelvane::testing::makeFilledTestPDF(200, 100));
    }

    // Asks the question through a lambda and counts the asks.
    void answerWith(AppModel& model, UnsavedChangesAnswer answer)
    {
        model.setUnsavedChangesQuestion([this, answer](const QString& title) {
            askedTitles.append(title);
            return answer;
        });
    }

    QTemporaryDir files;
    QStringList askedTitles;
};

}  // namespace

TEST_F(OpenDocumentTest, ASuccessfulOpenClosesTheEditorResetsTheViewAndIsRemembered)
{
    AppModel model(false, false);
    model.setEditingTextElementID(QUuid::createUuid());
    model.setZoomScale(3);
    model.setPanOffset(QSizeF(40, -12));
    const QString path = pdf(QStringLiteral("Plan.pdf"));
    ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(path)));
    EXPECT_FALSE(model.alert());
    EXPECT_EQ(model.controller().document().title, QStringLiteral("Plan"));
    EXPECT_FALSE(model.editingTextElementID());
    // The view moves back smoothly and lands exactly.
    EXPECT_TRUE(model.isCameraAnimating());
    ASSERT_TRUE(QTest::qWaitFor([&model] { return !model.isCameraAnimating(); }, 5000));
    EXPECT_EQ(model.zoomScale(), 1.0);
    EXPECT_EQ(model.panOffset(), QSizeF(0, 0));
    EXPECT_EQ(model.flashMessage(), QStringLiteral("View reset (100%)"));
    ASSERT_EQ(model.recentURLs().size(), 1);
    EXPECT_EQ(model.recentURLs().first().toLocalFile(), path);
}

TEST_F(OpenDocumentTest, UnusableFilesRaiseTheOpenAlertAndKeepTheDocument)
{
    AppModel model(false, false);
    model.controller().addTextBlock(QStringLiteral("kept"));
    const VectorDocument before = model.controller().document();

    const QString fifo = files.filePath(QStringLiteral("pipe.pdf"));
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    const QString unreadable = pdf(QStringLiteral("locked.pdf"));
    ASSERT_TRUE(QFile::setPermissions(unreadable, QFileDevice::WriteOwner));
    const QString oversized = files.filePath(QStringLiteral("huge.pdf"));
    {
        QFile file(oversized);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(600LL * 1024 * 1024));  // sparse: costs no disk
    }
    const bool root = ::geteuid() == 0;  // root reads any file

    for (const QString& path : {files.path(), fifo, unreadable, oversized, write("empty.pdf", "")}) {
        if (root && path == unreadable)
            continue;
        SCOPED_TRACE(path.toStdString());
        model.setAlert(std::nullopt);
        ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(path)));
        ASSERT_TRUE(model.alert());
        EXPECT_EQ(model.alert()->title, QStringLiteral("Could not open file"));
        EXPECT_EQ(model.controller().document(), before);
    }
    EXPECT_TRUE(model.recentURLs().isEmpty());
}

TEST_F(OpenDocumentTest, AnUnchangedDocumentIsReplacedWithoutAQuestion)
{
    AppModel model(false, false);
    answerWith(model, UnsavedChangesAnswer::cancel);
    ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(pdf(QStringLiteral("a.pdf")))));
    EXPECT_TRUE(askedTitles.isEmpty());
    EXPECT_EQ(model.controller().document().title, QStringLiteral("a"));
    // Opened just now: still unchanged.
    ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(pdf(QStringLiteral("b.pdf")))));
    EXPECT_TRUE(askedTitles.isEmpty());
    EXPECT_EQ(model.controller().document().title, QStringLiteral("b"));
}

TEST_F(OpenDocumentTest, CancelKeepsTheEditedDocumentAndItsHistory)
{
    AppModel model(false, false);
    model.controller().addTextBlock(QStringLiteral("draft"));
    const VectorDocument edited = model.controller().document();
    answerWith(model, UnsavedChangesAnswer::cancel);
    ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(pdf(QStringLiteral("a.pdf")))));
    EXPECT_EQ(askedTitles, QStringList{QStringLiteral("Untitled")});
    EXPECT_EQ(model.controller().document(), edited);
    EXPECT_TRUE(model.controller().canUndo());
    EXPECT_FALSE(model.alert());
}

TEST_F(OpenDocumentTest, DiscardReplacesTheEditedDocument)
{
    AppModel model(false, false);
    model.controller().addTextBlock(QStringLiteral("draft"));
    answerWith(model, UnsavedChangesAnswer::discard);
    ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(pdf(QStringLiteral("a.pdf")))));
    EXPECT_EQ(askedTitles.size(), 1);
    EXPECT_EQ(model.controller().document().title, QStringLiteral("a"));
    EXPECT_FALSE(model.controller().canUndo());
}

TEST_F(OpenDocumentTest, SaveWritesTheDocumentToItsFileFirst)
{
    AppModel model(false, false);
    const QString svg = files.filePath(QStringLiteral("drawing.svg"));
    model.controller().saveFile(svg);
    model.controller().addTextBlock(QStringLiteral("signed here"));
    answerWith(model, UnsavedChangesAnswer::save);
    ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(pdf(QStringLiteral("a.pdf")))));
    EXPECT_EQ(askedTitles.size(), 1);
    EXPECT_EQ(model.controller().document().title, QStringLiteral("a"));
    QFile written(svg);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_TRUE(written.readAll().contains("signed here"));
}

TEST_F(OpenDocumentTest, SaveWithoutAFileUsesTheSavePanelAndStopsWhenItIsCancelled)
{
    AppModel model(false, false);
    model.controller().addTextBlock(QStringLiteral("draft"));
    answerWith(model, UnsavedChangesAnswer::save);
    int panels = 0;
    model.setSaveAsHandler([&panels] {
        ++panels;
        return false;
    });
    ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(pdf(QStringLiteral("a.pdf")))));
    EXPECT_EQ(panels, 1);
    EXPECT_EQ(model.controller().document().title, QStringLiteral("Untitled"));

    model.setSaveAsHandler([&] {
        model.controller().saveFile(files.filePath(QStringLiteral("kept.svg")));
        return true;
    });
    ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(pdf(QStringLiteral("a.pdf")))));
    EXPECT_EQ(model.controller().document().title, QStringLiteral("a"));
    EXPECT_TRUE(QFile::exists(files.filePath(QStringLiteral("kept.svg"))));
}

TEST_F(OpenDocumentTest, AFailedSaveKeepsTheDocumentAndRaisesTheSaveAlert)
{
    AppModel model(false, false);
    const QString folder = files.filePath(QStringLiteral("sub"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString svg = folder + QStringLiteral("/d.svg");
    model.controller().saveFile(svg);
    model.controller().addTextBlock(QStringLiteral("draft"));
    // The file's place is taken by a folder: the save cannot happen.
    ASSERT_TRUE(QFile::remove(svg));
    ASSERT_TRUE(QDir().mkpath(svg + QStringLiteral("/x")));
    answerWith(model, UnsavedChangesAnswer::save);
    const VectorDocument edited = model.controller().document();
    ASSERT_TRUE(zelvane::testing::openAndWait(model, QUrl::fromLocalFile(pdf(QStringLiteral("a.pdf")))));
    ASSERT_TRUE(model.alert());
    EXPECT_EQ(model.alert()->title, QStringLiteral("Save Error"));
    EXPECT_EQ(model.controller().document(), edited);
}

TEST_F(OpenDocumentTest, SavingRecordsDocumentFilesButNotPictures)
{
    AppModel model(false, false);
    EXPECT_TRUE(model.saveDocument(QUrl::fromLocalFile(files.filePath(QStringLiteral("page.png")))));
    EXPECT_TRUE(model.recentURLs().isEmpty());
    ASSERT_TRUE(QDir(files.path()).mkdir(QStringLiteral("sub")));
    const QString svg = files.filePath(QStringLiteral("sub/../drawing.svg"));
    EXPECT_TRUE(model.saveDocument(QUrl::fromLocalFile(svg), ExportFormat::svg));
    ASSERT_EQ(model.recentURLs().size(), 1);
    EXPECT_EQ(model.recentURLs().first().toLocalFile(), files.filePath(QStringLiteral("drawing.svg")));
    EXPECT_FALSE(model.alert());

    EXPECT_FALSE(model.saveDocument(QUrl::fromLocalFile(files.path())));
    ASSERT_TRUE(model.alert());
    EXPECT_EQ(model.alert()->title, QStringLiteral("Save Error"));
}
