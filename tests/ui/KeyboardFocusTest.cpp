#include "UiTestSupport.h"
#include "VectorController.h"
#include "appmodel/AppModel.h"
#include "canvas/InlineTextEditorBar.h"
#include "canvas/SinglePageCanvas.h"
#include "canvas/render/SceneDrawing.h"
#include "controls/FocusRing.h"
#include "controls/IconButton.h"
#include "operations/VectorOperations.h"
#include "panels/SidebarView.h"
#include "window/ContentView.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QKeySequence>
#include <QLineEdit>
#include <QListView>
#include <QTest>
#include <QTimer>
#include <initializer_list>
#include <utility>

using namespace zelvane;

namespace {

// The main window with its keyboard shortcuts, driven with real key and
// mouse events sent to the window (so they reach whatever has the focus).
class KeyboardFocusTest : public zelvane::testing::KeyboardWindowTest {
protected:
    SinglePageCanvas& canvas() { return *window->findChild<SinglePageCanvas*>(); }
    InlineTextEditorBar& bar() { return *canvas().editorBar(); }
    SidebarView& sidebar() { return *window->content()->sidebar(); }

    void type(const QString& text)
    {
        for (QChar c : text)
            QTest::keyClick(window->windowHandle(), c.toLatin1());
    }

    QUuid add(const VectorElement& element)
    {
        VectorDocument document = controller().document();
        VectorOperations::addElement(element, controller().currentPageIndex(), document);
        controller().setDocument(document);
        return element.id;
    }
    // Three blank pages, the one at `current` current.
    void threePages(qsizetype current)
    {
        controller().addBlankPage(PageFormatPreset::a4Portrait);
        controller().addBlankPage(PageFormatPreset::a4Portrait);
        controller().setCurrentPageIndex(current);
    }
    // Each key pressed in turn, and the page it leaves current.
    void expectPagesAfterKeys(std::initializer_list<std::pair<Qt::Key, qsizetype>> steps)
    {
        for (const auto& [pressed, page] : steps) {
            key(pressed);
            EXPECT_EQ(controller().currentPageIndex(), page) << QKeySequence(pressed).toString().toStdString();
        }
    }
    QUuid addPDFLine(const QString& text, const VectorPoint& at, double rotationDegrees = 0)
    {
        VectorElement e = VectorOperations::makeTextElement(text, at, 12, QStringLiteral("#333333"), false);
        e.rotationDegrees = rotationDegrees;
        TextPayload* payload = e.text();
        payload->isPDFExtracted = true;
        payload->originalPDFText = text;
        payload->originalPDFRect = e.frame;
        return add(e);
    }
    std::optional<VectorElement> element(const QUuid& id)
    {
        for (const VectorElement& e : controller().currentPage().elements)
            if (e.id == id)
                return e;
        return std::nullopt;
    }
    qsizetype undoSteps() { return controller().history().undoStack().size(); }
    // The export sheet, open and the active window; none if it never got there.
    QDialog* openActiveExportSheet()
    {
        model->setShowExportSheet(true);
        QDialog* sheet = nullptr;
        const bool shown = QTest::qWaitFor([&] {
            sheet = window->findChild<QDialog*>(QStringLiteral("ExportSheet"));
            return sheet && sheet->isVisible();
        }, 5000);
        if (!shown)
            return nullptr;
        sheet->activateWindow();
        return QTest::qWaitForWindowActive(sheet) ? sheet : nullptr;
    }

    QPoint panePoint(double x, double y) { return canvas().geometry().pageToPane(VectorPoint{x, y}).toPoint(); }
    // A point inside a text element's frame, `fraction` of the way along.
    QPoint inside(const QUuid& id, double fraction)
    {
        const VectorRect frame = element(id)->frame;
        return panePoint(frame.x + frame.width * fraction, frame.y + frame.height / 2);
    }

    // Clicks a layer row away from its lock and eye.
    void clickLayerRow(int row)
    {
        QListView* list = sidebar().layerList();
        const QRect rect = list->visualRect(list->model()->index(row, 0));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 40, rect.top() + 12));
    }
    int layerRowOf(const QUuid& id)
    {
        QListView* list = sidebar().layerList();
        for (int row = 0; row < list->model()->rowCount(); ++row) {
            const VectorElement& e = controller().currentPage().elements.at(
                controller().currentPage().elements.size() - 1 - row);
            if (e.id == id)
                return row;
        }
        return -1;
    }

    // A double click as the pointer makes it: a click, then the second press
    // (which QTest sends as the double click alone) and its release.
    void doubleClick(const QPoint& at)
    {
        QTest::mouseClick(&canvas(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(&canvas(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(&canvas(), Qt::LeftButton, {}, at);
    }

    bool aFieldHasTheKeys()
    {
        return qobject_cast<QLineEdit*>(QApplication::focusWidget()) != nullptr;
    }
};

}  // namespace

TEST_F(KeyboardFocusTest, TypingAfterADoubleClickOnAPDFLineEditsItAndReturnCommitsOnce)
{
    const QUuid line = addPDFLine(QStringLiteral("Invoice total"), {100, 200});
    doubleClick(inside(line, 0.98));
    ASSERT_TRUE(bar().isVisible());
    // The field has the keys, the cursor where the line was clicked (its end).
    ASSERT_TRUE(bar().field()->hasFocus());
    EXPECT_EQ(bar().field()->cursorPosition(), QStringLiteral("Invoice total").size());
    const qsizetype steps = undoSteps();

    type(QStringLiteral("abc"));
    EXPECT_EQ(element(line)->text()->text, QStringLiteral("Invoice total"));
    key(Qt::Key_Return);
    EXPECT_EQ(element(line)->text()->text, QStringLiteral("Invoice totalabc"));
    EXPECT_EQ(undoSteps(), steps + 1);
    EXPECT_EQ(controller().statusMessage(), QStringLiteral("Text edited"));
    EXPECT_TRUE(bar().field()->hasFocus());

    // A click in the middle of the line puts the cursor there.
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, inside(line, 0.02));
    ASSERT_TRUE(bar().field()->hasFocus());
    EXPECT_EQ(bar().field()->cursorPosition(), 0);
}

TEST_F(KeyboardFocusTest, AClickOnATurnedLinePutsTheCursorWhereTheTextIsDrawn)
{
    // Upside down: the text's end is drawn at the frame's left. Wide first
    // and last letters: a click near either end is clearly beyond them.
    const QUuid line = addPDFLine(QStringLiteral("Wide total W"), {100, 200}, 180);
    doubleClick(inside(line, 0.02));
    ASSERT_TRUE(bar().isVisible());
    ASSERT_TRUE(bar().field()->hasFocus());
    EXPECT_EQ(bar().field()->cursorPosition(), QStringLiteral("Wide total W").size());
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, inside(line, 0.98));
    ASSERT_TRUE(bar().field()->hasFocus());
    EXPECT_EQ(bar().field()->cursorPosition(), 0);
}

TEST_F(KeyboardFocusTest, APlainClickOnALineOpensItButDeleteStillActsOnTheLine)
{
    const QUuid line = addPDFLine(QStringLiteral("Confidential"), {100, 200});
    const QUuid other = addPDFLine(QStringLiteral("Kept"), {100, 400});
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, inside(line, 0.5));
    ASSERT_TRUE(bar().isVisible());
    EXPECT_TRUE(canvas().hasFocus());
    EXPECT_FALSE(aFieldHasTheKeys());
    key(Qt::Key_Delete);
    EXPECT_FALSE(element(line).has_value() && element(line)->visible &&
                 element(line)->text()->text == QStringLiteral("Confidential"));
    EXPECT_EQ(element(other)->text()->text, QStringLiteral("Kept"));
}

TEST_F(KeyboardFocusTest, EscapeClosesTheBarWithoutCommittingAndTheCanvasKeepsTheKeys)
{
    const QUuid line = addPDFLine(QStringLiteral("Signed copy"), {100, 200});
    doubleClick(inside(line, 0.5));
    ASSERT_TRUE(bar().field()->hasFocus());
    const qsizetype steps = undoSteps();
    type(QStringLiteral("xyz"));
    key(Qt::Key_Escape);
    EXPECT_FALSE(model->editingTextElementID().has_value());
    EXPECT_FALSE(bar().isVisible());
    EXPECT_EQ(element(line)->text()->text, QStringLiteral("Signed copy"));
    EXPECT_EQ(undoSteps(), steps);
    // The keys are back on the canvas, not in some other field.
    EXPECT_TRUE(canvas().hasFocus());
    EXPECT_FALSE(aFieldHasTheKeys());
}

TEST_F(KeyboardFocusTest, InTheFieldCtrlASelectsTheTextAndCtrlZUndoesTypingBeforeTheDocument)
{
    add(VectorOperations::makeTextElement(QStringLiteral("Other"), {100, 400}, 12, QStringLiteral("#111317"), false));
    const QUuid line = addPDFLine(QStringLiteral("Total"), {100, 200});
    // An earlier edit of the document, for Ctrl+Z to reach later.
    controller().addShape(VectorShapeType::rectangle);
    const qsizetype elements = controller().currentPage().elements.size();
    doubleClick(inside(line, 0.98));
    ASSERT_TRUE(bar().field()->hasFocus());

    key(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(bar().field()->selectedText(), QStringLiteral("Total"));
    EXPECT_EQ(controller().selection(), QSet<QUuid>{line});

    key(Qt::Key_End);
    type(QStringLiteral("ab"));
    ASSERT_EQ(bar().field()->text(), QStringLiteral("Totalab"));
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(bar().field()->text(), QStringLiteral("Total"));
    EXPECT_EQ(controller().currentPage().elements.size(), elements);
    // Nothing typed is left to take back: now the document's last edit goes.
    key(Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(controller().currentPage().elements.size(), elements - 1);
}

TEST_F(KeyboardFocusTest, TheTextToolAndALayerRowOpenTheBarWithTheKeys)
{
    const QUuid line = addPDFLine(QStringLiteral("Heading"), {100, 200});
    const QUuid arrow = add(VectorElement::make(QStringLiteral("Arrow"),
                                                ShapePayload::make(VectorShapeType::arrow, 0, false, false),
                                                VectorRect(100, 500, 120, 40), 0,
                                                VectorStyle(QStringLiteral("#111317"), std::nullopt, 2, 1, false)));
    clickLayerRow(layerRowOf(line));
    ASSERT_TRUE(bar().isVisible());
    EXPECT_TRUE(bar().field()->hasFocus());
    EXPECT_EQ(bar().field()->selectedText(), QStringLiteral("Heading"));
    // Another row: the bar closes and the list keeps the keys.
    clickLayerRow(layerRowOf(arrow));
    EXPECT_FALSE(bar().isVisible());
    EXPECT_TRUE(sidebar().layerList()->hasFocus());

    // The text tool on the line: the cursor where it was clicked.
    model->setActiveTool(EditorTool::text);
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, inside(line, 0.98));
    ASSERT_TRUE(bar().field()->hasFocus());
    EXPECT_EQ(bar().field()->cursorPosition(), QStringLiteral("Heading").size());
    EXPECT_TRUE(bar().field()->selectedText().isEmpty());
    // A new block: its placeholder text chosen, to be typed over.
    model->setActiveTool(EditorTool::text);
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, panePoint(300, 650));
    ASSERT_TRUE(bar().field()->hasFocus());
    EXPECT_EQ(bar().field()->selectedText(), QStringLiteral("Editable text"));
}

TEST_F(KeyboardFocusTest, TheBarNeverCoversTheLineItEditsAtAnyZoom)
{
    const QUuid line = addPDFLine(QStringLiteral("Line near the top of the page"), {60, 30});
    model->setEditingTextElementID(line);
    ASSERT_TRUE(bar().isVisible());
    const auto covered = [&] {
        const VectorRect frame = element(line)->frame;
        const QRectF text = canvas().geometry().pageToPane(frame);
        // The drawn bar, without the room kept for its shadow.
        const QRectF drawn = QRectF(bar().geometry()).adjusted(12, 8, -12, -16);
        // Nor the knob that turns it.
        return drawn.intersects(text) || drawn.contains(rotationHandlePoint(text, 0));
    };
    for (double zoom : {1.0, 2.0, 4.0, 6.0}) {
        model->setZoomScale(zoom);
        // The line brought under the top of the canvas.
        const QPointF at = canvas().geometry().pageToPane(VectorPoint{60, 30});
        model->setPanOffset(model->panOffset() + QSizeF(0, 20 - at.y()));
        EXPECT_FALSE(covered()) << zoom;
        EXPECT_GE(bar().geometry().top(), 0) << zoom;
    }
}

TEST_F(KeyboardFocusTest, TheBarKeepsClearOfATurnedLineAndItsKnob)
{
    VectorElement turned = VectorOperations::makeTextElement(QStringLiteral("Turned line"), {60, 60}, 12,
                                                             QStringLiteral("#333333"), false);
    turned.rotationDegrees = 90;
    const QUuid line = add(turned);
    model->setEditingTextElementID(line);
    ASSERT_TRUE(bar().isVisible());
    for (double zoom : {1.0, 2.0}) {
        model->setZoomScale(zoom);
        // The upright line's top brought under the top of the canvas.
        const QRectF frame = canvas().geometry().pageToPane(element(line)->frame);
        model->setPanOffset(model->panOffset() + QSizeF(0, 20 - (frame.center().y() - frame.width() / 2)));
        const QRectF text = canvas().geometry().pageToPane(element(line)->frame);
        // A quarter turn about its centre: as tall as it was wide.
        const QRectF upright(text.center().x() - text.height() / 2, text.center().y() - text.width() / 2,
                             text.height(), text.width());
        const QRectF drawn = QRectF(bar().geometry()).adjusted(12, 8, -12, -16);
        EXPECT_FALSE(drawn.intersects(upright)) << zoom;
        EXPECT_FALSE(drawn.contains(rotationHandlePoint(text, 90))) << zoom;
        EXPECT_GE(bar().geometry().top(), 0) << zoom;
        EXPECT_LE(bar().geometry().bottom(), canvas().height()) << zoom;
    }
}

TEST_F(KeyboardFocusTest, BackspaceAfterChoosingALayerRowDeletesTheElementAndChangesNoField)
{
    const QUuid text =
        add(VectorOperations::makeTextElement(QStringLiteral("Note"), {100, 100}, 12, QStringLiteral("#111317"), false));
    const QUuid arrow = add(VectorElement::make(QStringLiteral("Arrow"),
                                                ShapePayload::make(VectorShapeType::arrow, 0, false, false),
                                                VectorRect(100, 300, 120, 40), 0,
                                                VectorStyle(QStringLiteral("#111317"), std::nullopt, 2, 1, false)));
    // A text row first, so that the bar had the keys before.
    clickLayerRow(layerRowOf(text));
    ASSERT_TRUE(bar().field()->hasFocus());
    clickLayerRow(layerRowOf(arrow));
    ASSERT_EQ(controller().selection(), QSet<QUuid>{arrow});
    EXPECT_TRUE(sidebar().layerList()->hasFocus());
    EXPECT_FALSE(aFieldHasTheKeys());

    key(Qt::Key_Backspace);
    EXPECT_FALSE(element(arrow).has_value());
    ASSERT_TRUE(element(text).has_value());
    EXPECT_EQ(element(text)->text()->text, QStringLiteral("Note"));
    EXPECT_EQ(element(text)->name, VectorOperations::makeTextElement(QStringLiteral("Note"), {0, 0}, 12,
                                                                    QStringLiteral("#111317"), false)
                                       .name);
    EXPECT_EQ(undoSteps(), 1);
    EXPECT_FALSE(aFieldHasTheKeys());
}

TEST_F(KeyboardFocusTest, InFrenchDelAfterASignatureRowDeletesItAndTheSignerStays)
{
    model->setLanguage(AppLanguage::fr);
    const QUuid signature = add(VectorOperations::makeFreehandSignatureElement(
        {{VectorPoint{100, 100}, VectorPoint{140, 120}, VectorPoint{180, 100}}}, QStringLiteral("Bob Martin"),
        QStringLiteral("#1E3A8A")));
    const QUuid second = add(VectorOperations::makeFreehandSignatureElement(
        {{VectorPoint{100, 400}, VectorPoint{140, 420}, VectorPoint{180, 400}}}, QStringLiteral("Bob Martin"),
        QStringLiteral("#1E3A8A")));
    clickLayerRow(layerRowOf(signature));
    ASSERT_EQ(controller().selection(), QSet<QUuid>{signature});
    EXPECT_FALSE(aFieldHasTheKeys());
    key(Qt::Key_Delete);
    EXPECT_FALSE(element(signature).has_value());
    ASSERT_TRUE(element(second).has_value());
    EXPECT_EQ(std::get<SignaturePayload>(element(second)->kind).signerName, QStringLiteral("Bob Martin"));
    EXPECT_EQ(undoSteps(), 1);
}

TEST_F(KeyboardFocusTest, TheListsWalkWithArrowsHomeAndEnd)
{
    threePages(0);
    QListView* pages = sidebar().pageList();
    const QRect first = pages->visualRect(pages->model()->index(0, 0));
    QTest::mouseClick(pages->viewport(), Qt::LeftButton, {}, QPoint(first.left() + 60, first.top() + 20));
    ASSERT_TRUE(pages->hasFocus());
    expectPagesAfterKeys({{Qt::Key_Down, 1}, {Qt::Key_End, 2}, {Qt::Key_Down, 2}, {Qt::Key_PageUp, 1}, {Qt::Key_Home, 0}});

    // The layer list: the topmost row first.
    const QUuid a = add(VectorElement::make(QStringLiteral("A"), ShapePayload::make(VectorShapeType::rectangle, 0, false, false),
                                            VectorRect(10, 10, 50, 50), 0, VectorStyle()));
    const QUuid b = add(VectorElement::make(QStringLiteral("B"), ShapePayload::make(VectorShapeType::rectangle, 0, false, false),
                                            VectorRect(10, 100, 50, 50), 0, VectorStyle()));
    const QUuid c = add(VectorElement::make(QStringLiteral("C"), ShapePayload::make(VectorShapeType::rectangle, 0, false, false),
                                            VectorRect(10, 200, 50, 50), 0, VectorStyle()));
    // A text on top: walked over, it is chosen but not opened, and the keys
    // stay in the list; Return opens it in the bar.
    const QUuid note =
        add(VectorOperations::makeTextElement(QStringLiteral("Note"), {10, 300}, 12, QStringLiteral("#111317"), false));
    clickLayerRow(1);
    ASSERT_EQ(controller().selection(), QSet<QUuid>{c});
    key(Qt::Key_Up);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{note});
    EXPECT_FALSE(model->editingTextElementID().has_value());
    EXPECT_TRUE(sidebar().layerList()->hasFocus());
    key(Qt::Key_Return);
    EXPECT_EQ(model->editingTextElementID(), std::optional<QUuid>(note));
    EXPECT_TRUE(bar().field()->hasFocus());
    key(Qt::Key_Escape);
    EXPECT_FALSE(bar().isVisible());
    // The keys go back to the list they came from.
    EXPECT_TRUE(sidebar().layerList()->hasFocus());
    clickLayerRow(1);
    ASSERT_EQ(controller().selection(), QSet<QUuid>{c});
    key(Qt::Key_Down);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{b});
    key(Qt::Key_End);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{a});
    key(Qt::Key_Up);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{b});
    key(Qt::Key_Home);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{note});
    key(Qt::Key_Down);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{c});
    EXPECT_TRUE(sidebar().layerList()->hasFocus());
    // Right reaches the row's lock, then its eye; Space presses them.
    key(Qt::Key_Right);
    key(Qt::Key_Space);
    EXPECT_TRUE(element(c)->locked);
    key(Qt::Key_Right);
    key(Qt::Key_Space);
    EXPECT_FALSE(element(c)->visible);
    key(Qt::Key_Right);
    key(Qt::Key_Space);
    EXPECT_TRUE(element(c)->visible);
    key(Qt::Key_Left);
    key(Qt::Key_Left);
    key(Qt::Key_Space);
    EXPECT_TRUE(element(c)->locked);
    EXPECT_EQ(controller().selection(), QSet<QUuid>{c});
    key(Qt::Key_Right);
    key(Qt::Key_Return);
    EXPECT_FALSE(element(c)->locked);
    // And the chosen one goes with Backspace.
    key(Qt::Key_Backspace);
    EXPECT_FALSE(element(c).has_value());
}

TEST_F(KeyboardFocusTest, ThePageRowsArrowsAreReachedWithTheKeys)
{
    threePages(1);
    const QUuid moved = controller().currentPage().id;
    QListView* pages = sidebar().pageList();
    pages->setFocus(Qt::TabFocusReason);
    const qsizetype steps = undoSteps();
    // Right to the up arrow, again to the down arrow: Space moves the page.
    key(Qt::Key_Right);
    key(Qt::Key_Right);
    key(Qt::Key_Space);
    EXPECT_EQ(controller().document().pages.at(2).id, moved);
    EXPECT_EQ(controller().currentPageIndex(), 2);
    EXPECT_EQ(undoSteps(), steps + 1);
    key(Qt::Key_Left);
    key(Qt::Key_Return);
    EXPECT_EQ(controller().document().pages.at(1).id, moved);
}

TEST_F(KeyboardFocusTest, PageKeysOnTheCanvasTurnPages)
{
    threePages(0);
    const qsizetype steps = undoSteps();
    // A click on the empty sheet gives the canvas the keys.
    QTest::mouseClick(&canvas(), Qt::LeftButton, {}, panePoint(300, 400));
    ASSERT_TRUE(canvas().hasFocus());
    expectPagesAfterKeys({{Qt::Key_PageDown, 1},
                          {Qt::Key_PageDown, 2},
                          {Qt::Key_PageDown, 2},
                          {Qt::Key_PageUp, 1},
                          {Qt::Key_Home, 0},
                          {Qt::Key_End, 2}});
    EXPECT_EQ(undoSteps(), steps);
}

TEST_F(KeyboardFocusTest, TurningThePageEndsTheEditingButNeverLosesTyping)
{
    threePages(0);
    const QUuid line = addPDFLine(QStringLiteral("Invoice total"), {100, 200});
    doubleClick(inside(line, 0.98));
    ASSERT_TRUE(bar().field()->hasFocus());
    // Typing not applied yet: the page keys leave the page and the draft alone.
    type(QStringLiteral("abc"));
    key(Qt::Key_PageDown);
    EXPECT_EQ(controller().currentPageIndex(), 0);
    EXPECT_TRUE(bar().field()->hasFocus());
    EXPECT_EQ(bar().draftText(), QStringLiteral("Invoice totalabc"));
    key(Qt::Key_Return);
    // Applied: Page Down turns the page, the editing ends and the canvas keys
    // act on the page shown.
    key(Qt::Key_PageDown);
    EXPECT_EQ(controller().currentPageIndex(), 1);
    EXPECT_FALSE(model->editingTextElementID().has_value());
    EXPECT_FALSE(bar().isVisible());
    EXPECT_FALSE(aFieldHasTheKeys());
    key(Qt::Key_R);
    EXPECT_EQ(model->activeTool(), EditorTool::rectangle);
    key(Qt::Key_V);
    key(Qt::Key_PageUp);
    EXPECT_EQ(controller().currentPageIndex(), 0);
    EXPECT_FALSE(bar().isVisible());

    // Turned from elsewhere (a remote command) in the middle of typing: the
    // draft goes with the bar, and the line opens again with its stored text.
    doubleClick(inside(line, 0.5));
    ASSERT_TRUE(bar().field()->hasFocus());
    type(QStringLiteral("zz"));
    controller().setCurrentPageIndex(2);
    EXPECT_FALSE(model->editingTextElementID().has_value());
    EXPECT_FALSE(aFieldHasTheKeys());
    key(Qt::Key_Home);
    ASSERT_EQ(controller().currentPageIndex(), 0);
    EXPECT_FALSE(bar().isVisible());
    doubleClick(inside(line, 0.98));
    ASSERT_TRUE(bar().field()->hasFocus());
    EXPECT_EQ(bar().draftText(), QStringLiteral("Invoice totalabc"));
    EXPECT_EQ(element(line)->text()->text, QStringLiteral("Invoice totalabc"));

    // The grid of pages shows no editor: it ends there too, and the single
    // keys act again.
    key(Qt::Key_3, Qt::ControlModifier);
    ASSERT_EQ(model->displayMode(), CanvasDisplayMode::multiPageGrid);
    EXPECT_FALSE(model->editingTextElementID().has_value());
    EXPECT_FALSE(aFieldHasTheKeys());
    key(Qt::Key_R);
    EXPECT_EQ(model->activeTool(), EditorTool::rectangle);
    key(Qt::Key_1, Qt::ControlModifier);
    EXPECT_FALSE(bar().isVisible());
}

TEST_F(KeyboardFocusTest, EveryButtonOfTheWindowIsReachedByTabAndNamedInBothLanguages)
{
    for (AppLanguage shownLanguage : {AppLanguage::en, AppLanguage::fr}) {
        model->setLanguage(shownLanguage);
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            if (!button->isVisibleTo(window.get()))
                continue;
            EXPECT_TRUE(button->focusPolicy() & Qt::TabFocus) << button->metaObject()->className() << " "
                                                              << button->objectName().toStdString();
            if (button->text().isEmpty()) {
                EXPECT_FALSE(button->accessibleName().isEmpty())
                    << button->metaObject()->className() << " " << button->objectName().toStdString();
            }
        }
    }
    // The icon buttons' names follow the language.
    EXPECT_EQ(sidebar().rotatePageButton()->accessibleName(), QStringLiteral("Pivoter la page de 90°"));
    model->setLanguage(AppLanguage::en);
    EXPECT_EQ(sidebar().rotatePageButton()->accessibleName(), QStringLiteral("Rotate page 90°"));

    // Tab goes from button to button, each marked while it has the keys (in
    // the window rebuilt for the language, active again).
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    sidebar().addPageButton()->setFocus(Qt::TabFocusReason);
    QList<QWidget*> reached;
    for (int i = 0; i < 6; ++i) {
        QWidget* focus = QApplication::focusWidget();
        reached.append(focus);
        if (FocusRing::marks(focus)) {
            EXPECT_EQ(FocusRing::markedWidget(), focus);
        }
        key(Qt::Key_Tab);
    }
    EXPECT_TRUE(reached.contains(sidebar().duplicatePageButton()));
    EXPECT_TRUE(reached.contains(sidebar().rotatePageButton()));
    EXPECT_TRUE(reached.contains(sidebar().pageList()));
}

TEST_F(KeyboardFocusTest, CtrlWClosesTheWindowAsLinuxEditorsDo)
{
    key(Qt::Key_W, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 5000));
}

TEST_F(KeyboardFocusTest, CtrlQInAnOpenSheetQuits)
{
    QDialog* sheet = openActiveExportSheet();
    ASSERT_NE(sheet, nullptr);
    QTest::keyClick(sheet->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !window->isVisible(); }, 5000));
}

TEST_F(KeyboardFocusTest, ACancelledQuitQuestionGivesTheKeyboardBackToTheSheet)
{
    controller().addTextBlock(QStringLiteral("draft"));
    QDialog* sheet = openActiveExportSheet();
    ASSERT_NE(sheet, nullptr);
    // Ctrl+Q, then Cancel (Escape) in the question.
    bool asked = false;
    QTimer answer;
    answer.setInterval(5);
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || !box->isVisible() || box->objectName() != QLatin1String("UnsavedChangesQuestion"))
            return;
        answer.stop();
        asked = true;
        QTest::keyClick(box, Qt::Key_Escape);
    });
    answer.start();
    QTest::keyClick(sheet->windowHandle(), Qt::Key_Q, Qt::ControlModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return asked; }, 30000));
    ASSERT_TRUE(window->isVisible());

    // The keys reach the sheet again: Escape typed into it closes it.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QWidget* focus = QApplication::focusWidget();
            return QApplication::activeWindow() == sheet && focus && (focus == sheet || sheet->isAncestorOf(focus));
        },
        5000));
    QTest::keyClick(sheet->windowHandle(), Qt::Key_Escape);
    EXPECT_TRUE(QTest::qWaitFor([this] { return !model->showExportSheet(); }, 5000));
}

