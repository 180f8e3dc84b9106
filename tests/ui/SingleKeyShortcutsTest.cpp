#include "support/ModalAnswer.h"
#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "appmodel/CommandShortcuts.h"
#include "window/ContentView.h"
#include "window/MainMenuBar.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

using namespace zelvane;

namespace {

class SingleKeyShortcutsTest : public zelvane::testing::KeyboardWindowTest {
protected:
    void SetUp() override
    {
        KeyboardWindowTest::SetUp();
        // The canvas has the keys, as after a click on it.
        window->content()->setFocus();
    }

    QUuid placeShape()
    {
        controller().addShape(VectorShapeType::rectangle);
        return *controller().selection().begin();
    }
};

}  // namespace

TEST_F(SingleKeyShortcutsTest, LettersPickToolsWhateverShiftSays)
{
    const QList<std::pair<Qt::Key, EditorTool>> table{
        {Qt::Key_T, EditorTool::text},    {Qt::Key_S, EditorTool::signature}, {Qt::Key_P, EditorTool::pen},
        {Qt::Key_R, EditorTool::rectangle}, {Qt::Key_O, EditorTool::ellipse}, {Qt::Key_L, EditorTool::arrow},
        {Qt::Key_K, EditorTool::stamp},   {Qt::Key_V, EditorTool::select},
    };
    for (const auto& [letter, tool] : table) {
        key(letter);
        EXPECT_EQ(model->activeTool(), tool) << letter;
    }
    key(Qt::Key_P, Qt::ShiftModifier);
    EXPECT_EQ(model->activeTool(), EditorTool::pen);
    EXPECT_EQ(controller().document().totalElementsCount(), 0);
}

TEST_F(SingleKeyShortcutsTest, ZResetsShiftZAndFFrameTheSelection)
{
    model->setZoomScale(2);
    key(Qt::Key_Z);
    EXPECT_EQ(model->flashMessage(), QStringLiteral("View reset (100%)"));
    placeShape();
    key(Qt::Key_Z, Qt::ShiftModifier);
    EXPECT_TRUE(model->flashMessage()->startsWith(QStringLiteral("Framed selection (")));
    controller().setSelection({});
    key(Qt::Key_F);
    EXPECT_EQ(model->flashMessage(), QStringLiteral("Fitted full page"));
}

TEST_F(SingleKeyShortcutsTest, BracketsTurnOnePageAndStopAtTheEnds)
{
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    controller().addBlankPage(PageFormatPreset::a4Portrait);
    controller().setCurrentPageIndex(0);
    key(Qt::Key_BracketLeft);
    EXPECT_EQ(controller().currentPageIndex(), 0);
    key(Qt::Key_BracketRight);
    EXPECT_EQ(controller().currentPageIndex(), 1);
    key(Qt::Key_BracketRight);
    key(Qt::Key_BracketRight);
    EXPECT_EQ(controller().currentPageIndex(), 2);
    key(Qt::Key_BracketLeft);
    EXPECT_EQ(controller().currentPageIndex(), 1);
    const qsizetype steps = controller().history().undoStack().size();
    key(Qt::Key_BraceRight, Qt::ShiftModifier);
    EXPECT_EQ(controller().currentPageIndex(), 1);
    EXPECT_EQ(controller().history().undoStack().size(), steps);
}

TEST_F(SingleKeyShortcutsTest, BackspaceDeletesTheSelectionAndEscapeDropsIt)
{
    placeShape();
    key(Qt::Key_Backspace);
    EXPECT_EQ(controller().document().totalElementsCount(), 0);
    const qsizetype steps = controller().history().undoStack().size();
    key(Qt::Key_Backspace);
    EXPECT_EQ(controller().history().undoStack().size(), steps);

    placeShape();
    model->setActiveTool(EditorTool::pen);
    key(Qt::Key_Escape);
    EXPECT_TRUE(controller().selection().isEmpty());
    EXPECT_EQ(model->activeTool(), EditorTool::select);
    EXPECT_EQ(controller().document().totalElementsCount(), 1);
}

TEST_F(SingleKeyShortcutsTest, KeysWithModifiersOrOutsideTheTablePass)
{
    placeShape();
    model->setActiveTool(EditorTool::pen);
    for (const Qt::Key other : {Qt::Key_5, Qt::Key_Space, Qt::Key_Left, Qt::Key_Q, Qt::Key_Tab})
        key(other);
    key(Qt::Key_V, Qt::AltModifier);
    key(Qt::Key_T, Qt::MetaModifier);
    EXPECT_EQ(model->activeTool(), EditorTool::pen);
    EXPECT_EQ(controller().document().totalElementsCount(), 1);
    // Ctrl+Z is the menu's Undo, not the Z key.
    model->setZoomScale(2);
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(controller().document().totalElementsCount(), 0);
    EXPECT_EQ(model->zoomScale(), 2.0);
    EXPECT_FALSE(model->flashMessage());
}

TEST_F(SingleKeyShortcutsTest, ATextFieldKeepsItsLetters)
{
    auto* field = new QLineEdit(window->content());
    field->show();
    field->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([field] { return field->hasFocus(); }));
    placeShape();
    key(Qt::Key_P);
    key(Qt::Key_Backspace);
    key(Qt::Key_T);
    EXPECT_EQ(field->text(), QStringLiteral("t"));
    EXPECT_EQ(model->activeTool(), EditorTool::select);
    EXPECT_EQ(controller().document().totalElementsCount(), 1);
}

TEST_F(SingleKeyShortcutsTest, ASheetOrAlertHasTheKeysAndEscapeReachesTheAlert)
{
    placeShape();
    model->setShowAbout(true);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }));
    key(Qt::Key_P);
    EXPECT_EQ(model->activeTool(), EditorTool::select);
    model->setShowAbout(false);
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() == nullptr; }));

    model->setAlert(AlertItem::make(QStringLiteral("Save Error"), QStringLiteral("disk full")));
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activeModalWidget() != nullptr; }));
    QWidget* alert = QApplication::activeModalWidget();
    key(Qt::Key_Backspace);
    EXPECT_EQ(controller().document().totalElementsCount(), 1);
    QTest::keyClick(alert->windowHandle(), Qt::Key_Escape);
    ASSERT_TRUE(QTest::qWaitFor([this] { return !model->alert(); }));
    EXPECT_FALSE(controller().selection().isEmpty());
}

TEST_F(SingleKeyShortcutsTest, AnOpenMenuOrFileDialogHasTheKeys)
{
    QMenu* file = window->menus().menus().first();
    file->popup(window->mapToGlobal(QPoint(10, 10)));
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() != nullptr; }));
    key(Qt::Key_P);
    EXPECT_EQ(model->activeTool(), EditorTool::select);
    file->close();
    ASSERT_TRUE(QTest::qWaitFor([] { return QApplication::activePopupWidget() == nullptr; }));

    bool sawDialog = false;
    const zelvane::testing::ModalAnswer answer([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        sawDialog = true;
        key(Qt::Key_P);
        QTest::keyClick(dialog->windowHandle(), Qt::Key_K);
        dialog->reject();
    });
    model->openDocumentPanel();
    EXPECT_TRUE(sawDialog);
    EXPECT_EQ(model->activeTool(), EditorTool::select);
}

TEST_F(SingleKeyShortcutsTest, TheReferenceTableWritesKeysAsQtDoes)
{
    EXPECT_EQ(shortcutText(*singleKeyShortcutFor(Qt::Key_Z, true)), QStringLiteral("Shift+Z"));
    EXPECT_EQ(singleKeyShortcutFor(Qt::Key_V, true)->tool, EditorTool::select);
    EXPECT_FALSE(singleKeyShortcutFor(Qt::Key_Delete, false));
    EXPECT_EQ(shortcutText(EditorCommand::redo), QStringLiteral("Ctrl+Shift+Z"));
    EXPECT_EQ(shortcutText(EditorCommand::website), QString());
}
