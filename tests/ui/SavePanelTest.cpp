#include "ControllerEnvironment.h"
#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "core/support/TestPDF.h"

#include <QDir>
#include <QFile>
#include <memory>

using namespace zelvane;

namespace {

// Answers the panels as a test says and notes what they were asked.
class FakePanels : public ControllerEnvironment {
public:
    std::optional<QStringList> chooseFiles(const FileChoiceRequest& request) override
    {
        openRequests.append(request);
        return openAnswer;
    }

    std::optional<QString> chooseSaveFile(const SaveFileRequest& request) override
    {
        saveRequests.append(request);
        if (model)
            alertWhileAsked.append(model->alert().has_value());
        return saveAnswer;
    }

    AppModel* model = nullptr;
    std::optional<QStringList> openAnswer;
    std::optional<QString> saveAnswer;
    QList<FileChoiceRequest> openRequests;
    QList<SaveFileRequest> saveRequests;
    QList<bool> alertWhileAsked;
};

class SavePanelTest : public zelvane::testing::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(files.isValid());
        model = std::make_unique<AppModel>(false, false);
        panels = std::make_shared<FakePanels>();
        panels->model = model.get();
        model->controller().setEnvironment(panels);
    }

    QString path(const QString& name) const { return files.filePath(name); }

    QString write(const QString& name, const QByteArray& data) const
    {
        QFile file(path(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(data);
        return path(name);
    }

    bool waitForOpens() const
    {
        return QTest::qWaitFor([this] { return !model->controller().isOpening(); }, 30000);
    }

    QTemporaryDir files;
    std::unique_ptr<AppModel> model;
    std::shared_ptr<FakePanels> panels;
};

}  // namespace

TEST_F(SavePanelTest, TheOpenPanelAsksForOnePDFOrSVGAndOpensIt)
{
    const QString pdf = write(QStringLiteral("Plan.pdf"), zelvane::testing::makeFilledTestPDF(200, 100));
    model->openDocumentPanel();
    ASSERT_EQ(panels->openRequests.size(), 1);
    EXPECT_EQ(panels->openRequests[0].title, QStringLiteral("Open SVG or PDF Document"));
    EXPECT_FALSE(panels->openRequests[0].allowsMultipleSelection);
    // Both kinds together first, then each alone, then every file.
    const QStringList filters = panels->openRequests[0].nameFilters;
    ASSERT_EQ(filters.size(), 4);
    EXPECT_TRUE(filters[0].endsWith(QStringLiteral("(*.pdf *.svg)")));
    EXPECT_EQ(filters.mid(1, 2), (QStringList{QStringLiteral("PDF (*.pdf)"), QStringLiteral("SVG (*.svg)")}));
    EXPECT_EQ(filters[3], QStringLiteral("All files (*)"));
    EXPECT_EQ(model->controller().document().title, QStringLiteral("Untitled"));

    panels->openAnswer = QStringList{pdf};
    model->openDocumentPanel();
    ASSERT_TRUE(waitForOpens());
    EXPECT_EQ(model->controller().document().title, QStringLiteral("Plan"));
    EXPECT_EQ(model->recentURLs().size(), 1);
}

TEST_F(SavePanelTest, PanelsStartInTheDocumentsFolderElseTheLastOneElseHome)
{
    // Nothing chosen yet and no file: the home folder.
    model->openDocumentPanel();
    EXPECT_FALSE(model->saveDocumentPanel(ExportFormat::svg));
    EXPECT_EQ(panels->openRequests.last().startFolder, QDir::homePath());
    EXPECT_EQ(panels->saveRequests.last().startFolder, QDir::homePath());

    // A picture saved in another folder makes that the folder last used.
    ASSERT_TRUE(QDir(files.path()).mkpath(QStringLiteral("pictures")));
    panels->saveAnswer = path(QStringLiteral("pictures/page.png"));
    ASSERT_TRUE(model->saveDocumentPanel(ExportFormat::png));
    panels->saveAnswer.reset();
    model->openDocumentPanel();
    EXPECT_EQ(panels->openRequests.last().startFolder, path(QStringLiteral("pictures")));

    // A document with a file of its own: its folder, for both panels.
    ASSERT_TRUE(QDir(files.path()).mkpath(QStringLiteral("plans")));
    const QString pdf = write(QStringLiteral("plans/Plan.pdf"), zelvane::testing::makeFilledTestPDF(200, 100));
    panels->openAnswer = QStringList{pdf};
    model->openDocumentPanel();
    ASSERT_TRUE(waitForOpens());
    ASSERT_EQ(model->controller().document().title, QStringLiteral("Plan"));
    panels->openAnswer.reset();
    model->openDocumentPanel();
    EXPECT_FALSE(model->saveDocumentPanel(ExportFormat::svg));
    EXPECT_EQ(panels->openRequests.last().startFolder, path(QStringLiteral("plans")));
    EXPECT_EQ(panels->saveRequests.last().startFolder, path(QStringLiteral("plans")));

    // A folder gone since is passed over for the next one.
    model->controller().createNewDocument(PageFormatPreset::a4Portrait);
    ASSERT_TRUE(QDir(path(QStringLiteral("plans"))).removeRecursively());
    model->openDocumentPanel();
    EXPECT_EQ(panels->openRequests.last().startFolder, QDir::homePath());
}

TEST_F(SavePanelTest, AnUnusableOrOversizedChoiceRaisesTheOpenAlertAndKeepsTheDocument)
{
    model->controller().addTextBlock(QStringLiteral("kept"));
    const VectorDocument before = model->controller().document();
    QFile big(path(QStringLiteral("huge.pdf")));
    ASSERT_TRUE(big.open(QIODevice::WriteOnly));
    ASSERT_TRUE(big.resize(qint64(2) * 1024 * 1024 * 1024));
    big.close();
    for (const QString& chosen : {write(QStringLiteral("broken.pdf"), "not a pdf at all"), big.fileName(),
                                  write(QStringLiteral("notes.svg"), "<svg")}) {
        model->setAlert(std::nullopt);
        panels->openAnswer = QStringList{chosen};
        model->openDocumentPanel();
        ASSERT_TRUE(waitForOpens());
        ASSERT_TRUE(model->alert()) << chosen.toStdString();
        EXPECT_EQ(model->alert()->title, QStringLiteral("Could not open file"));
        EXPECT_EQ(model->controller().document(), before);
        EXPECT_TRUE(model->recentURLs().isEmpty());
    }
}

TEST_F(SavePanelTest, TheSavePanelProposesTheTitleWithTheFormatsExtension)
{
    VectorDocument document = model->controller().document();
    const QList<std::pair<QString, ExportFormat>> cases{
        {QStringLiteral("Plan.pdf"), ExportFormat::svg},
        {QStringLiteral("Plan"), ExportFormat::pdf},
        {QStringLiteral("plan.v2.final.svg"), ExportFormat::png},
    };
    const QStringList proposed{QStringLiteral("Plan.svg"), QStringLiteral("Plan.pdf"),
                               QStringLiteral("plan.v2.final.png")};
    for (qsizetype i = 0; i < cases.size(); ++i) {
        document.title = cases[i].first;
        model->controller().setDocument(document);
        EXPECT_FALSE(model->saveDocumentPanel(cases[i].second));
        const SaveFileRequest& asked = panels->saveRequests.last();
        EXPECT_EQ(asked.proposedName, proposed[i]);
        EXPECT_EQ(asked.suffix, rawValue(cases[i].second));
    }
    EXPECT_EQ(panels->saveRequests.last().title, QStringLiteral("Save Document (PNG)"));
    EXPECT_EQ(panels->saveRequests.last().nameFilter, QStringLiteral("PNG (*.png)"));
    // A cancelled panel reports nothing.
    EXPECT_FALSE(model->alert());
    EXPECT_FALSE(model->flashMessage());
}

TEST_F(SavePanelTest, AChosenNameWithAnotherExtensionGetsTheFormatsOneAppended)
{
    panels->saveAnswer = path(QStringLiteral("a.pdf"));
    ASSERT_TRUE(model->saveDocumentPanel(ExportFormat::svg));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("a.pdf.svg"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("a.pdf"))));
    EXPECT_EQ(model->flashMessage(), QStringLiteral("Saved: a.pdf.svg"));

    panels->saveAnswer = path(QStringLiteral("b.SVG"));
    ASSERT_TRUE(model->saveDocumentPanel(ExportFormat::svg));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("b.SVG"))));
    EXPECT_EQ(pathWithSuffix(QStringLiteral("c"), QStringLiteral("pdf")), QStringLiteral("c.pdf"));
}

TEST_F(SavePanelTest, ExportingAPictureClosesTheSheetButIsNoRecentFile)
{
    model->setShowExportSheet(true);
    panels->saveAnswer = path(QStringLiteral("page.png"));
    ASSERT_TRUE(model->saveDocumentPanel(ExportFormat::png));
    EXPECT_FALSE(model->showExportSheet());
    EXPECT_TRUE(model->recentURLs().isEmpty());
    EXPECT_EQ(model->flashMessage(), QStringLiteral("Saved: page.png"));
    // One message for the save: the status line's is what the remote control reports.
    EXPECT_EQ(model->controller().statusMessage(), QStringLiteral("Saved: page.png"));
    EXPECT_FALSE(model->controller().document().fileURL);

    model->setShowExportSheet(true);
    panels->saveAnswer = path(QStringLiteral("doc.pdf"));
    ASSERT_TRUE(model->saveDocumentPanel(ExportFormat::pdf));
    EXPECT_FALSE(model->showExportSheet());
    ASSERT_EQ(model->recentURLs().size(), 1);
    EXPECT_EQ(model->recentURLs().first().toLocalFile(), path(QStringLiteral("doc.pdf")));
}

TEST_F(SavePanelTest, AFailedWriteKeepsTheSheetOpenAndRecordsNothing)
{
    ASSERT_TRUE(QDir(files.path()).mkpath(QStringLiteral("taken.svg/inside")));
    model->setShowExportSheet(true);
    model->controller().addTextBlock(QStringLiteral("unsaved"));
    panels->saveAnswer = path(QStringLiteral("taken.svg"));
    EXPECT_FALSE(model->saveDocumentPanel(ExportFormat::svg));
    ASSERT_TRUE(model->alert());
    EXPECT_EQ(model->alert()->title, QStringLiteral("Save Error"));
    EXPECT_TRUE(model->showExportSheet());
    EXPECT_TRUE(model->recentURLs().isEmpty());
    EXPECT_FALSE(model->flashMessage());
    EXPECT_TRUE(model->controller().hasUnsavedChanges());
    EXPECT_FALSE(model->controller().document().fileURL);
}

TEST_F(SavePanelTest, SaveWritesInPlaceOrAsksInTheDocumentsOwnFormat)
{
    const QString svg = path(QStringLiteral("drawing.svg"));
    model->controller().saveFile(svg);
    model->controller().addTextBlock(QStringLiteral("more"));
    ASSERT_TRUE(model->saveDocumentDirectOrPanel());
    EXPECT_TRUE(panels->saveRequests.isEmpty());
    EXPECT_EQ(model->flashMessage(), QStringLiteral("Saved to drawing.svg"));
    EXPECT_EQ(model->controller().statusMessage(), QStringLiteral("Saved to drawing.svg"));
    EXPECT_FALSE(model->controller().hasUnsavedChanges());

    // What the export had to say about the save goes with its message: a
    // redacted page in a font that cannot be measured is written as a picture.
    const QByteArray content = "BT /F1 20 Tf 20 100 Td (Confidential words) Tj ET";
    const QString mystery = write(
        QStringLiteral("mystery.pdf"),
        zelvane::testing::makeRawTestPDF({
            "<< /Type /Catalog /Pages 2 0 R >>",
            "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
            "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 300 200] /Resources << /Font << /F1 5 0 R >> >>"
            " /Contents 4 0 R >>",
            "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream",
            "<< /Type /Font /Subtype /TrueType /BaseFont /MysteryFont /FirstChar 0.5 /Widths [600] >>",
        }));
    model->controller().openFile(mystery);
    model->controller().perform(QStringLiteral("Redact"), [](VectorDocument& document) {
        document.pages[0].redactedPDFRects = {VectorRect(10, 70, 280, 40)};
    });
    ASSERT_TRUE(model->saveDocumentDirectOrPanel());
    const QString noted = QStringLiteral(
        "Saved to mystery.pdf \u2014 page 1 written as a picture: its masked text could not be removed");
    EXPECT_EQ(model->flashMessage(), noted);
    EXPECT_EQ(model->controller().statusMessage(), noted);

    // Without a file: SVG for a new document, PDF for a PDF source.
    model->controller().createNewDocument(PageFormatPreset::a4Portrait);
    EXPECT_FALSE(model->saveDocumentDirectOrPanel());
    EXPECT_EQ(panels->saveRequests.last().suffix, QStringLiteral("svg"));
    const QString pdf = write(QStringLiteral("Source.pdf"), zelvane::testing::makeFilledTestPDF(200, 100));
    model->controller().openFile(pdf);
    QFile::remove(pdf);
    VectorDocument detached = model->controller().document();
    detached.fileURL.reset();
    model->controller().setDocument(detached);
    EXPECT_FALSE(model->saveDocumentDirectOrPanel());
    EXPECT_EQ(panels->saveRequests.last().suffix, QStringLiteral("pdf"));
    EXPECT_EQ(panels->saveRequests.last().title, QStringLiteral("Save Document (PDF)"));
}

TEST_F(SavePanelTest, AFailedSaveInPlaceShowsItsAlertOnlyAfterThePanelHasClosed)
{
    const QString svg = path(QStringLiteral("d.svg"));
    model->controller().saveFile(svg);
    ASSERT_TRUE(QFile::remove(svg));
    ASSERT_TRUE(QDir().mkpath(svg + QStringLiteral("/x")));
    model->controller().addTextBlock(QStringLiteral("draft"));

    EXPECT_FALSE(model->saveDocumentDirectOrPanel());
    ASSERT_EQ(panels->alertWhileAsked, QList<bool>{false});
    ASSERT_TRUE(model->alert());
    EXPECT_EQ(model->alert()->title, QStringLiteral("Save Error"));

    // Saved somewhere else through the panel, the in-place failure still
    // shows once the panel has gone.
    model->setAlert(std::nullopt);
    panels->saveAnswer = path(QStringLiteral("elsewhere.svg"));
    EXPECT_TRUE(model->saveDocumentDirectOrPanel());
    EXPECT_EQ(panels->alertWhileAsked, (QList<bool>{false, false}));
    ASSERT_TRUE(model->alert());
    EXPECT_EQ(model->alert()->title, QStringLiteral("Save Error"));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("elsewhere.svg"))));
}

TEST_F(SavePanelTest, NewAndOpenAskAboutUnsavedChangesFirst)
{
    QStringList asked;
    UnsavedChangesAnswer answer = UnsavedChangesAnswer::cancel;
    model->setUnsavedChangesQuestion([&](const QString& title) {
        asked.append(title);
        return answer;
    });
    model->controller().addTextBlock(QStringLiteral("work"));
    const VectorDocument edited = model->controller().document();
    model->createNewDocument(PageFormatPreset::a4Portrait);
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(model->controller().document(), edited);
    EXPECT_TRUE(model->controller().canUndo());

    answer = UnsavedChangesAnswer::discard;
    model->createNewDocument(PageFormatPreset::a4Portrait);
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(model->controller().document().totalElementsCount(), 0);
    EXPECT_FALSE(model->controller().canUndo());
}
