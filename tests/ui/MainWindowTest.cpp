#include "UiTestSupport.h"
#include "support/ModalAnswer.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "bars/StatusBar.h"
#include "canvas/CanvasArea.h"
#include "window/AlertPresenter.h"
#include "window/ContentView.h"
#include "window/MainWindow.h"
#include "window/PanelSlot.h"
#include "window/SheetPresenter.h"
#include "window/SheetTable.h"

#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

using namespace zelvane;

namespace {

class MainWindowTest : public zelvane::testing::WindowTest {
protected:
    int canvasWidth() const { return window->content()->canvasArea()->width(); }
    // The title as the window system gets it, Qt's modified mark resolved.
    QString shownTitle() const { return window->windowHandle()->title(); }
    void waitForPanels() const
    {
        ASSERT_TRUE(QTest::qWaitFor([this] { return !window->content()->isAnimating(); }, 5000));
        QApplication::processEvents();
    }
};

}  // namespace

TEST_F(MainWindowTest, OpensAtTheDefaultSizeWithItsMinimum)
{
    EXPECT_EQ(window->size(), QSize(1380, 820));
    EXPECT_EQ(window->minimumSize(), QSize(980, 600));
}

TEST_F(MainWindowTest, TheCanvasGetsTheWidthThePanelsLeaveAndRegainsIt)
{
    EXPECT_EQ(canvasWidth(), window->width() - 542);
    model->setShowSidebar(false);
    EXPECT_TRUE(window->content()->isAnimating());
    // It fades while it slides, and draws plainly again at rest.
    QWidget* sidebar = window->content()->sidebarSlot()->panel();
    ASSERT_TRUE(QTest::qWaitFor([&] {
        auto* fade = qobject_cast<QGraphicsOpacityEffect*>(sidebar->graphicsEffect());
        return fade && fade->opacity() < 1.0;
    }));
    waitForPanels();
    EXPECT_EQ(sidebar->graphicsEffect(), nullptr);
    EXPECT_FALSE(window->content()->sidebarSlot()->isVisible());
    EXPECT_EQ(canvasWidth(), window->width() - 317);
    model->setShowInspector(false);
    waitForPanels();
    EXPECT_EQ(canvasWidth(), window->width());
    model->setShowSidebar(true);
    model->setShowInspector(true);
    waitForPanels();
    EXPECT_EQ(canvasWidth(), window->width() - 542);
    EXPECT_EQ(window->content()->sidebarSlot()->panel()->width(), 224);
    EXPECT_EQ(window->content()->inspectorSlot()->panel()->width(), 316);
}

TEST_F(MainWindowTest, TheTitleNamesTheDocumentAndPageInBothLanguages)
{
    model->controller().setDocument([] {
        VectorDocument document = VectorDocument::make(QUuid::createUuid(), QStringLiteral("Plan"),
                                                       DocumentSourceFormat::svg, std::nullopt, {}, 1);
        return document;
    }());
    EXPECT_EQ(window->subtitle(), QStringLiteral("Plan · Page 1/1"));
    // A document put in place of the one opened is an unsaved change.
    EXPECT_EQ(shownTitle(), QStringLiteral("Plan* · Page 1/1 — Zelvane"));
    model->setLanguage(AppLanguage::fr);
    EXPECT_EQ(shownTitle(), QStringLiteral("Plan* · Page 1/1 — Zelvane"));
    model->controller().addBlankPage(PageFormatPreset::a4Portrait);
    EXPECT_EQ(shownTitle(), QStringLiteral("Plan* · Page 2/2 — Zelvane"));
}

TEST_F(MainWindowTest, TheTitleMarksUnsavedChangesWithAnAsterisk)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    VectorController& controller = model->controller();
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(shownTitle(), QStringLiteral("Untitled · Page 1/1 — Zelvane"));

    controller.addTextBlock(QStringLiteral("draft"));
    EXPECT_TRUE(window->isWindowModified());
    EXPECT_EQ(shownTitle(), QStringLiteral("Untitled* · Page 1/1 — Zelvane"));
    // Undone back to where it started: nothing left to save.
    controller.undo();
    EXPECT_FALSE(window->isWindowModified());
    controller.redo();
    EXPECT_TRUE(window->isWindowModified());

    // Saved to a file of its own, the document takes its name.
    controller.saveFile(folder.filePath(QStringLiteral("Notes.svg")));
    EXPECT_FALSE(window->isWindowModified());
    EXPECT_EQ(shownTitle(), QStringLiteral("Notes · Page 1/1 — Zelvane"));

    // A title holding the placeholder itself shows it as written.
    VectorDocument odd = controller.document();
    odd.title = QStringLiteral("a[*]b");
    controller.setDocument(odd);
    EXPECT_EQ(shownTitle(), QStringLiteral("a[*]b* · Page 1/1 — Zelvane"));
}

TEST_F(MainWindowTest, ALanguageChangeRebuildsTheContentInTheNewLanguage)
{
    QPointer<ContentView> before = window->content();
    model->setLanguage(AppLanguage::fr);
    EXPECT_NE(window->content(), before.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(before.isNull());
    EXPECT_TRUE(window->content()->isVisible());
    EXPECT_EQ(canvasWidth(), window->width() - 542);
}

TEST_F(MainWindowTest, ALanguageChangeRebuildsAnOpenSheet)
{
    model->setShowAbout(true);
    QDialog* sheet = window->sheets().dialog(4);
    ASSERT_NE(sheet, nullptr);
    QPointer<QWidget> before = sheet->layout()->itemAt(0)->widget();
    model->setLanguage(AppLanguage::fr);
    EXPECT_EQ(window->sheets().dialog(4), sheet);
    ASSERT_EQ(sheet->layout()->count(), 1);
    EXPECT_NE(sheet->layout()->itemAt(0)->widget(), before.data());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(before.isNull());
    EXPECT_TRUE(model->showAbout());
}

TEST_F(MainWindowTest, TheStatusBarShowsTheFlashOverTheStatusLine)
{
    StatusBar* bar = window->content()->statusBar();
    EXPECT_EQ(bar->shownText(), model->controller().statusMessage());
    model->flash(QStringLiteral("Saved: a.pdf"));
    EXPECT_EQ(bar->shownText(), QStringLiteral("Saved: a.pdf"));
    model->setFlashMessage(std::nullopt);
    EXPECT_EQ(bar->shownText(), model->controller().statusMessage());
}

TEST_F(MainWindowTest, EachSheetOpensWithItsFlagAndClosingLowersIt)
{
    const QList<SheetEntry>& entries = sheetEntries();
    ASSERT_EQ(entries.size(), 6);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const SheetEntry& entry = entries[i];
        SCOPED_TRACE(entry.name);
        (model.get()->*entry.setShown)(true);
        QDialog* dialog = window->sheets().dialog(i);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), QLatin1String(entry.name));
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
        EXPECT_EQ(window->sheets().topmost(), dialog);

        // Escape closes it the way the platform would, lowering the flag.
        QTest::keyClick(dialog, Qt::Key_Escape);
        EXPECT_FALSE((model.get()->*entry.isShown)());
        EXPECT_EQ(window->sheets().dialog(i), nullptr);

        // Lowering the flag closes it too.
        (model.get()->*entry.setShown)(true);
        ASSERT_NE(window->sheets().dialog(i), nullptr);
        (model.get()->*entry.setShown)(false);
        EXPECT_EQ(window->sheets().dialog(i), nullptr);
    }
    EXPECT_FALSE(model->hasOpenSheet());
}

TEST_F(MainWindowTest, TheAlertShowsVerbatimWithOneOKAndIsClearedWhenDismissed)
{
    const QString message = QStringLiteral("<b>not bold</b>\nsecond line");
    model->setAlert(AlertItem::make(QStringLiteral("Could not open file"), message));
    QMessageBox* box = window->alerts().box();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget(), window.get());
    EXPECT_EQ(box->buttons().size(), 1);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    bool shownAsPlainText = false;
    for (QLabel* label : box->findChildren<QLabel*>()) {
        if (label->text() == message)
            shownAsPlainText = label->textFormat() == Qt::PlainText;
    }
    EXPECT_TRUE(shownAsPlainText);
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(model->alert());
    EXPECT_EQ(window->alerts().box(), nullptr);
}

TEST_F(MainWindowTest, ANewerAlertReplacesTheOneShown)
{
    model->setAlert(AlertItem::make(QStringLiteral("First"), QStringLiteral("one")));
    QPointer<QMessageBox> first = window->alerts().box();
    model->setAlert(AlertItem::make(QStringLiteral("Second"), QStringLiteral("two")));
    QMessageBox* second = window->alerts().box();
    ASSERT_NE(second, nullptr);
    EXPECT_NE(second, first.data());
    EXPECT_EQ(second->text(), QStringLiteral("Second"));
    QApplication::processEvents();
    EXPECT_TRUE(first.isNull() || !first->isVisible());
    // Dismissing the newer one clears the model.
    QTest::mouseClick(second->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(model->alert());
}

TEST_F(MainWindowTest, AnAlertRaisedWhileASheetIsOpenShowsOverTheSheet)
{
    model->setShowExportSheet(true);
    QDialog* sheet = window->sheets().dialog(0);
    ASSERT_NE(sheet, nullptr);
    model->setAlert(AlertItem::make(QStringLiteral("Save Error"), QStringLiteral("disk full")));
    QMessageBox* box = window->alerts().box();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->parentWidget(), sheet);
    EXPECT_TRUE(box->isVisible());
    EXPECT_TRUE(sheet->isVisible());
    QTest::mouseClick(box->button(QMessageBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(model->alert());
    EXPECT_TRUE(model->showExportSheet());
}

TEST_F(MainWindowTest, AnAlertWhoseSheetClosesMovesOverTheWindow)
{
    model->setShowExportSheet(true);
    model->setAlert(AlertItem::make(QStringLiteral("Save Error"), QStringLiteral("disk full")));
    QPointer<QMessageBox> overSheet = window->alerts().box();
    model->setShowExportSheet(false);
    ASSERT_NE(window->alerts().box(), nullptr);
    EXPECT_NE(window->alerts().box(), overSheet.data());
    EXPECT_TRUE(window->alerts().box()->isVisible());
    EXPECT_EQ(window->alerts().box()->parentWidget(), window.get());
    EXPECT_TRUE(model->alert());
}

TEST_F(MainWindowTest, ClosingAnEditedDocumentAsksAndCancelKeepsTheWindow)
{
    QStringList asked;
    UnsavedChangesAnswer answer = UnsavedChangesAnswer::cancel;
    model->setUnsavedChangesQuestion([&](const QString& title) {
        asked.append(title);
        return answer;
    });
    QSignalSpy closed(window.get(), &MainWindow::closed);
    model->controller().addTextBlock(QStringLiteral("draft"));
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(closed.count(), 0);
    EXPECT_TRUE(model->controller().canUndo());

    answer = UnsavedChangesAnswer::discard;
    EXPECT_TRUE(window->close());
    EXPECT_EQ(asked.size(), 2);
    EXPECT_EQ(closed.count(), 1);
}

TEST_F(MainWindowTest, ClosingAnUnchangedDocumentAsksNothingAndTakesTheSettingsWindowAlong)
{
    int asked = 0;
    model->setUnsavedChangesQuestion([&](const QString&) {
        ++asked;
        return UnsavedChangesAnswer::cancel;
    });
    window->showSettingsWindow();
    ASSERT_NE(window->settingsWindow(), nullptr);
    EXPECT_TRUE(window->settingsWindow()->isVisible());
    EXPECT_TRUE(window->close());
    EXPECT_EQ(asked, 0);
    EXPECT_FALSE(window->settingsWindow()->isVisible());
}

TEST_F(MainWindowTest, TheWindowAsksWithItsOwnQuestionUntilItGoes)
{
    // The window's question is a real dialog: answer it with Escape (Cancel).
    model->controller().addTextBlock(QStringLiteral("draft"));
    const zelvane::testing::ModalAnswer escape([](QWidget* box) {
        EXPECT_EQ(box->objectName(), QStringLiteral("UnsavedChangesQuestion"));
        QTest::keyClick(box, Qt::Key_Escape);
    });
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(escape.answered());
    window.reset();
    // Without the window nothing is asked any more.
    ASSERT_TRUE(zelvane::testing::openAndWait(*model, QUrl::fromLocalFile(QStringLiteral("/nonexistent/a.pdf"))));
    EXPECT_TRUE(model->alert());
}
