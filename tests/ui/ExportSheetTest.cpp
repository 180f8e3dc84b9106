#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "ControllerEnvironment.h"
#include "controls/Chip.h"
#include "export/SVGExport.h"
#include "svg/SVGCodec.h"
#include "sheets/ExportSheet.h"
#include "window/SheetPresenter.h"
#include "controls/FocusRing.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QFileInfo>
#include <QDir>
#include <QTimer>
#include <QPointer>
#include <QGuiApplication>
#include <QTest>

using namespace zelvane;

namespace {

class FakeEnvironment : public ControllerEnvironment {
public:
    std::optional<QString> chooseSaveFile(const SaveFileRequest& request) override
    {
        requests.append(request);
        return answer ? std::optional<QString>(pathWithSuffix(*answer, request.suffix)) : std::nullopt;
    }
    std::optional<QString> answer;
    QList<SaveFileRequest> requests;
};

class ExportSheetTest : public zelvane::testing::WindowTest {
protected:
    std::shared_ptr<FakeEnvironment> fake;

    // The export sheet's dialog once it is open.
    QDialog* openSheet() const
    {
        model->setShowExportSheet(true);
        QDialog* dialog = nullptr;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                dialog = window->sheets().dialog(0);
                return dialog && dialog->isVisible();
            },
            3000));
        return dialog;
    }
    ExportSheet* sheet() const
    {
        QDialog* dialog = window->sheets().dialog(0);
        return dialog ? dialog->findChild<ExportSheet*>() : nullptr;
    }
    template <class T = QAbstractButton>
    T* part(const char* name) const
    {
        T* found = sheet() ? sheet()->findChild<T*>(QLatin1String(name)) : nullptr;
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* name) const
    {
        QAbstractButton* button = part(name);
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    }
    // Answers the save panel with `path` (none: cancelled) and notes the question.
    void answerSavePanel(const std::optional<QString>& path)
    {
        auto environment = std::make_shared<FakeEnvironment>();
        environment->answer = path;
        fake = environment;
        model->controller().setEnvironment(environment);
    }
    QStringList chipTexts() const
    {
        QStringList texts;
        for (const Chip* chip : sheet()->findChildren<Chip*>())
            texts.append(chip->text());
        return texts;
    }
};

}  // namespace

TEST_F(ExportSheetTest, TheRowsChooseTheFormatAndOnlySVGOffersTheCopy)
{
    ASSERT_NE(openSheet(), nullptr);
    EXPECT_EQ(sheet()->width(), ExportSheet::kWidth);
    EXPECT_EQ(model->exportFormat(), ExportFormat::pdf);
    EXPECT_FALSE(part("copySVG")->isVisible());
    click("format.svg");
    EXPECT_EQ(model->exportFormat(), ExportFormat::svg);
    EXPECT_TRUE(part("copySVG")->isVisible());
    click("format.png");
    EXPECT_EQ(model->exportFormat(), ExportFormat::png);
    EXPECT_FALSE(part("copySVG")->isVisible());
    // Every control stays usable, whatever the document.
    EXPECT_TRUE(part("save")->isEnabled());
    EXPECT_TRUE(part("cancel")->isEnabled());
}

TEST_F(ExportSheetTest, TheChipsCountPagesElementsAndSignatures)
{
    ASSERT_NE(openSheet(), nullptr);
    EXPECT_EQ(chipTexts(), QStringList({"1 pages", "0 elements"}));
    model->controller().stampActiveSignature();
    model->controller().addBlankPage(PageFormatPreset::a4Portrait);
    EXPECT_EQ(chipTexts(), QStringList({"2 pages", "1 elements", "1 signatures"}));
}

TEST_F(ExportSheetTest, EscapeClosesKeepsTheFormatAndTheSheetOpensAgain)
{
    QDialog* dialog = openSheet();
    ASSERT_NE(dialog, nullptr);
    click("format.svg");
    QTest::keyClick(sheet(), Qt::Key_Escape);
    EXPECT_FALSE(model->showExportSheet());
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->sheets().dialog(0) == nullptr; }, 3000));

    // Closed by the window manager: the flag comes down too.
    dialog = openSheet();
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(model->exportFormat(), ExportFormat::svg);
    dialog->close();
    EXPECT_FALSE(model->showExportSheet());
    ASSERT_TRUE(QTest::qWaitFor([this] { return window->sheets().dialog(0) == nullptr; }, 3000));

    // Cancel, then once more open.
    ASSERT_NE(openSheet(), nullptr);
    click("cancel");
    EXPECT_FALSE(model->showExportSheet());
    EXPECT_NE(openSheet(), nullptr);
}

TEST_F(ExportSheetTest, CopySVGPutsTheWholeDocumentOnTheClipboardAndCloses)
{
    VectorController& controller = model->controller();
    controller.addBlankPage(PageFormatPreset::a4Portrait);
    controller.addBlankPage(PageFormatPreset::a4Landscape);
    QGuiApplication::clipboard()->setText(QStringLiteral("before"));
    model->setExportFormat(ExportFormat::svg);
    ASSERT_NE(openSheet(), nullptr);
    click("copySVG");
    const QString copied = QGuiApplication::clipboard()->text();
    EXPECT_TRUE(copied.contains(QStringLiteral("data-multipage=\"true\"")));
    EXPECT_EQ(SVGCodec::importSVG(copied, QStringLiteral("copy"), std::nullopt).pages.size(), 3);
    EXPECT_EQ(copied, SVGCodec::exportSVG(controller.document()));
    EXPECT_FALSE(model->showExportSheet());
    EXPECT_EQ(model->flashMessage(), QStringLiteral("SVG code copied to clipboard"));
}

TEST_F(ExportSheetTest, ReturnSavesInTheChosenFormatAndCloses)
{
    model->setExportFormat(ExportFormat::png);
    ASSERT_NE(openSheet(), nullptr);
    const QString path = settingsFolder.filePath(QStringLiteral("out"));
    answerSavePanel(path);
    QTest::keyClick(sheet(), Qt::Key_Return);
    ASSERT_EQ(fake->requests.size(), 1);
    EXPECT_EQ(fake->requests.first().suffix, QStringLiteral("png"));
    EXPECT_GT(QFileInfo(path + QStringLiteral(".png")).size(), 0);
    EXPECT_FALSE(model->showExportSheet());
    EXPECT_EQ(model->flashMessage(), QStringLiteral("Saved: out.png"));
    // Only PDF and SVG count as recent files.
    EXPECT_TRUE(model->recentURLs().isEmpty());
}

TEST_F(ExportSheetTest, SavingAsANewFileMakesItTheDocumentsNameEverywhere)
{
    const QString memo = settingsFolder.filePath(QStringLiteral("memo.pdf"));
    VectorDocument document = model->controller().document();
    document.title = QStringLiteral("memo");
    document.fileURL = QUrl::fromLocalFile(memo);
    document.sourceFormat = DocumentSourceFormat::pdf;
    model->controller().setDocument(document);
    model->controller().addTextBlock(QStringLiteral("Signed"));
    ASSERT_TRUE(window->windowHandle()->title().startsWith(QStringLiteral("memo")));

    ASSERT_NE(openSheet(), nullptr);
    click("format.pdf");
    answerSavePanel(settingsFolder.filePath(QStringLiteral("memo-signed")));
    click("save");
    ASSERT_EQ(fake->requests.size(), 1);
    EXPECT_EQ(fake->requests[0].proposedName, QStringLiteral("memo.pdf"));
    const QString signedPath = settingsFolder.filePath(QStringLiteral("memo-signed.pdf"));
    ASSERT_GT(QFileInfo(signedPath).size(), 0);

    // The title bar, the recent files and the next panel name the new file.
    EXPECT_EQ(model->controller().document().title, QStringLiteral("memo-signed"));
    EXPECT_TRUE(QTest::qWaitFor(
        [this] { return window->windowHandle()->title().startsWith(QStringLiteral("memo-signed · ")); }, 3000))
        << window->windowHandle()->title().toStdString();
    ASSERT_FALSE(model->recentURLs().isEmpty());
    EXPECT_EQ(model->recentURLs().first(), QUrl::fromLocalFile(QFileInfo(signedPath).absoluteFilePath()));
    EXPECT_FALSE(model->controller().hasUnsavedChanges());
    ASSERT_NE(openSheet(), nullptr);
    answerSavePanel(std::nullopt);
    click("save");
    ASSERT_EQ(fake->requests.size(), 1);
    EXPECT_EQ(fake->requests[0].proposedName, QStringLiteral("memo-signed.pdf"));
    model->setShowExportSheet(false);

    // Undoing the edit keeps the name; the quit question asks about it.
    model->controller().undo();
    EXPECT_EQ(model->controller().document().title, QStringLiteral("memo-signed"));
    QStringList asked;
    model->setUnsavedChangesQuestion([&asked](const QString& title) {
        asked.append(title);
        return UnsavedChangesAnswer::cancel;
    });
    EXPECT_FALSE(window->close());
    EXPECT_EQ(asked, QStringList{QStringLiteral("memo-signed")});
}

TEST_F(ExportSheetTest, ACancelledOrFailedSaveKeepsTheSheetOpen)
{
    ASSERT_NE(openSheet(), nullptr);
    answerSavePanel(std::nullopt);
    click("save");
    EXPECT_EQ(fake->requests.size(), 1);
    EXPECT_TRUE(model->showExportSheet());
    EXPECT_FALSE(model->alert().has_value());

    // A file where the folder should be: the save fails.
    QFile plain(settingsFolder.filePath(QStringLiteral("plain")));
    ASSERT_TRUE(plain.open(QIODevice::WriteOnly));
    plain.close();
    answerSavePanel(settingsFolder.filePath(QStringLiteral("plain/out.pdf")));
    click("save");
    EXPECT_TRUE(model->showExportSheet());
    ASSERT_TRUE(QTest::qWaitFor([this] { return model->alert().has_value(); }, 3000));
    EXPECT_EQ(model->alert()->title, QStringLiteral("Save Error"));
    EXPECT_FALSE(model->flashMessage().has_value());
    EXPECT_NE(window->sheets().dialog(0), nullptr);
}

TEST_F(ExportSheetTest, EscapeWhileTheSaveIsWrittenClosesTheSheetAndTheFileIsStillWritten)
{
    // Enough pages that the file is still being written when Escape comes.
    VectorDocument document = model->controller().document();
    for (int i = 0; i < 300; ++i) {
        VectorPage page = document.pages.first();
        page.id = QUuid::createUuid();
        document.pages.append(page);
    }
    model->controller().setDocument(document);
    model->setExportFormat(ExportFormat::pdf);
    QDialog* dialog = openSheet();
    ASSERT_NE(dialog, nullptr);
    const QString path = settingsFolder.filePath(QStringLiteral("out"));
    answerSavePanel(path);
    // Escape reaches the sheet from the event loop while the save waits.
    QPointer<QDialog> shown(dialog);
    bool escapedWhileSaving = false;
    QTimer::singleShot(0, dialog, [&] {
        escapedWhileSaving = model->controller().isSaving();
        QTest::keyClick(shown, Qt::Key_Escape);
    });
    click("save");
    EXPECT_TRUE(escapedWhileSaving);
    EXPECT_FALSE(model->showExportSheet());
    EXPECT_TRUE(QFile(path + QStringLiteral(".pdf")).open(QIODevice::ReadOnly));
    EXPECT_FALSE(model->controller().hasUnsavedChanges());
    ASSERT_TRUE(QTest::qWaitFor([&] { return shown.isNull(); }, 3000));
}

TEST_F(ExportSheetTest, TabReachesEveryFormatRowAndSpaceChoosesIt)
{
    QDialog* dialog = openSheet();
    ASSERT_NE(dialog, nullptr);
    dialog->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    QList<QString> reached;
    for (int i = 0; i < 8; ++i) {
        QTest::keyClick(dialog->windowHandle(), Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        ASSERT_NE(focus, nullptr);
        reached.append(focus->objectName());
        // The control with the keys is marked.
        if (focus != sheet()) {
            EXPECT_EQ(FocusRing::markedWidget(), focus) << focus->objectName().toStdString();
        }
    }
    for (const char* name : {"format.pdf", "format.svg", "format.png", "cancel", "save"})
        EXPECT_TRUE(reached.contains(QLatin1String(name))) << name;
    // In the order they are shown.
    EXPECT_LT(reached.indexOf("format.pdf"), reached.indexOf("format.svg"));
    EXPECT_LT(reached.indexOf("format.png"), reached.indexOf("cancel"));

    part("format.svg")->setFocus(Qt::TabFocusReason);
    QTest::keyClick(dialog->windowHandle(), Qt::Key_Space);
    EXPECT_EQ(model->exportFormat(), ExportFormat::svg);
    EXPECT_TRUE(model->showExportSheet());
}
